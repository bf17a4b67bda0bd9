// Builds one frame for sending: the small fields are packed into a buffer,
// large values and table rows are referenced where they lie, so that the
// frame goes out in one gather write without copying them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "rfc_iovec.h"
#include "rfc_wire.h"

namespace rfcw {

class Encoder {
 public:
  // Starts a frame of this kind; name is the function, exception or
  // program id (empty for kinds without one).
  Encoder(Kind kind, std::string_view name);

  // Sections must be filled in this order: texts, nums, params, tables.
  void text(std::string_view s);
  void num(uint32_t v);
  void param(std::string_view name, uint32_t type, const void *data, uint32_t len);
  // A table whose rows follow with rows(); pieces must add up to rows*leng.
  void table(std::string_view name, uint32_t type, uint32_t leng, uint32_t rows, bool unchanged);
  void rows(const void *data, size_t len);

  // Completes the frame; false when it would exceed the frame limit.
  bool finish();
  const std::vector<iovec> &iov() const { return iov_; }
  size_t total() const { return total_; }

 private:
  enum Section { kTexts, kNums, kParams, kTables, kDone };
  void enter(Section s);
  void put(const void *p, size_t n);
  void put_u16(uint16_t v);
  void put_u32(uint32_t v);
  void put_ref(const void *p, size_t n);
  void patch_count();
  size_t body_size() const;

  struct Seg {
    const char *ext;  // nullptr: offset into buf_
    size_t off, len;
  };
  Kind kind_;
  std::string buf_;
  std::vector<Seg> segs_;
  Section section_ = kTexts;
  size_t count_pos_ = 0;
  uint32_t count_ = 0;
  size_t total_ = 0;
  std::vector<iovec> iov_;
};

}  // namespace rfcw

// Writes a list of byte ranges to a socket with gathered writes, so that
// data held elsewhere (the rows of an internal table) goes out without
// being copied into one buffer first. The ranges must stay valid until
// flush has returned. Small ranges (a flag byte, a short record) are the
// exception: copied into a staging block, adjacent ones become one range,
// since the kernel's cost per range outweighs a copy of a few bytes.
#pragma once

#include <ace/OS_NS_string.h>
#include <ace/os_include/sys/os_types.h>
#include <ace/os_include/sys/os_uio.h>

#include <memory>
#include <vector>

class Qorrfc_Gather_Writer {
 public:
  // Ranges collected before a flush is forced; beyond it the caller's
  // ranges are written early, which leaves the byte stream the same.
  enum { MAX_RANGES = 20000 };
  // Ranges up to this size are staged; the staging block's size.
  enum { SMALL_RANGE = 256, STAGE_BYTES = 128 * 1024 };
  // Ranges one write takes: the system's limit (1024 on Linux).
  static const int RANGES_PER_WRITE;

  explicit Qorrfc_Gather_Writer(ACE_HANDLE socket) : socket_(socket) {}

  // Adds n bytes at bytes (n 0 adds nothing). Writes what was collected
  // when the list is full. -1 once a write has failed.
  int add(const void *bytes, size_t n) {
    // The common case, a small range that fits the staging block, without
    // a call: these come once or twice per record.
    if (stages(n)) {
      stage_bytes(bytes, n);
      return 0;
    }
    return add_range(bytes, n);
  }
  // Adds one record of width bytes and a flag byte: the first length bytes
  // of row (cut to width), zero bytes to fill the width, then flag. A row
  // too large to stage goes out where it lies, only its flag is staged.
  int add_record(const void *row, size_t length, size_t width, char flag) {
    // The common case, a whole row that is staged with its flag in one
    // step: this runs once per row of a narrow table.
    if (width > 0 && length >= width && stages(width + 1)) {
      char *to = stage_.get() + staged_;
      ACE_OS::memcpy(to, row, width);
      to[width] = flag;
      staged_ += width + 1;
      extend_last_range(to, width + 1);
      return 0;
    }
    return add_filled_record(row, length, width, flag);
  }
  // Writes every collected range, each write logged. 0, or -1 when a
  // write sent nothing or failed; the list is empty afterwards either way.
  int flush();
  bool failed() const { return failed_; }

 private:
  int add_range(const void *bytes, size_t n);
  int add_filled_record(const void *row, size_t length, size_t width, char flag);
  // Whether n bytes (1 to SMALL_RANGE) go to the staging block as it is.
  bool stages(size_t n) const {
    return n - 1 < static_cast<size_t>(SMALL_RANGE) && staged_ + n <= STAGE_BYTES && stage_ && !failed_ &&
           ranges_.size() < MAX_RANGES;
  }
  // Copies n bytes to the staging block, which has room for them.
  void stage_bytes(const void *bytes, size_t n) {
    char *to = stage_.get() + staged_;
    ACE_OS::memcpy(to, bytes, n);
    staged_ += n;
    extend_last_range(to, n);
  }
  // Staged bytes at to join the last range when that ends where they begin
  // (the list then does not grow), or start a range of their own.
  void extend_last_range(char *to, size_t n) {
    if (!ranges_.empty() && static_cast<char *>(ranges_.back().iov_base) + ranges_.back().iov_len == to)
      ranges_.back().iov_len += n;
    else
      ranges_.push_back(range(to, n));
  }
  static iovec range(void *bytes, size_t n);
  // One gathered write of count ranges (unix_ and nt_ variants): the bytes
  // written, or -1 with errno set.
  ssize_t write_ranges(iovec *ranges, int count);

  ACE_HANDLE socket_;
  std::vector<iovec> ranges_;
  std::unique_ptr<char[]> stage_;
  size_t staged_ = 0;
  bool failed_ = false;
};

// The record stream of the compatibility module on its way to the caller:
// bytes are collected and handed over in CALLER_D callbacks, each a chunk
// of a set number of bytes in Z_QOR_DTAB rows of 256 bytes, so records
// run across chunk and row boundaries as they fall.
#pragma once

#include <cstdint>
#include <string>

#include "call.h"

namespace r3sim {

class CompatStream {
 public:
  static constexpr unsigned kRow = 256;

  // chunk_bytes: bytes per callback (at least 1); delay_ms: wait before
  // each callback (a slow system).
  CompatStream(Call &call, size_t chunk_bytes, int64_t delay_ms);

  // Adds bytes; full chunks go out at once. False once a callback failed.
  bool add(const char *bytes, size_t n);
  // Hands over what is left. False when a callback failed.
  bool finish();
  // Why the last callback failed ("" when none did): "exception NAME" or
  // "code N".
  const std::string &failure() const { return failure_; }
  int64_t chunks() const { return chunks_; }

 private:
  // One CALLER_D with the n pending bytes from at.
  bool send_from(size_t at, size_t n);

  Call &call_;
  size_t chunk_bytes_;
  int64_t delay_ms_;
  std::string pending_;
  std::string failure_;
  int64_t chunks_ = 0;
};

}  // namespace r3sim

#include "qor_compat_stream.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <thread>
#include "sapitab.h"

namespace r3sim {

CompatStream::CompatStream(Call &call, size_t chunk_bytes, int64_t delay_ms)
    : call_(call), chunk_bytes_(chunk_bytes > 0 ? chunk_bytes : 1), delay_ms_(delay_ms) {
  pending_.reserve(chunk_bytes_ * 2);
}

bool CompatStream::add(const char *bytes, size_t n) {
  if (!failure_.empty()) return false;
  pending_.append(bytes, n);
  size_t at = 0;
  while (pending_.size() - at >= chunk_bytes_) {
    if (!send_from(at, chunk_bytes_)) return false;
    at += chunk_bytes_;
  }
  pending_.erase(0, at);
  return true;
}

bool CompatStream::finish() {
  if (!failure_.empty()) return false;
  if (pending_.empty()) return true;
  bool ok = send_from(0, pending_.size());
  pending_.clear();
  return ok;
}

bool CompatStream::send_from(size_t at, size_t n) {
  if (delay_ms_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms_));
  TableList tables;
  ITAB_H dtab = tables.add("Z_QOR_DTAB", kRow);
  tables.get()[0].type = RFCTYPE_BYTE;
  for (size_t done = 0; done < n; done += kRow) {
    auto *row = static_cast<char *>(ItAppLine(dtab));
    if (row == nullptr) throw std::runtime_error("No more storage for the chunk table");
    size_t k = n - done < kRow ? n - done : kRow;
    std::memcpy(row, pending_.data() + at + done, k);
    std::memset(row + k, 0, kRow - k);
  }
  char p1[9];
  std::snprintf(p1, sizeof p1, "%08zu", n);
  ParamList exporting, importing;
  exporting.add("P1", p1, 8);
  std::string exception;
  RFC_RC rc = call_.call_back("CALLER_D", exporting, importing, &tables, &exception);
  ++chunks_;
  if (rc == RFC_OK) return true;
  failure_ = rc == RFC_EXCEPTION ? "exception " + exception : "code " + std::to_string(rc);
  return false;
}

}  // namespace r3sim

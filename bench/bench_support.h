// What the benchmark programs share.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

namespace bench {

// The number after `key` (e.g. "Threads:") in /proc/<pid>/status, -1 when
// the process has gone.
inline long status_number(const std::string &pid, const char *key) {
  std::ifstream status("/proc/" + pid + "/status");
  std::string line;
  size_t len = std::strlen(key);
  while (std::getline(status, line))
    if (line.compare(0, len, key) == 0) return std::atol(line.c_str() + len);
  return -1;
}

// The highest resident set size process `pid` has had, in MB; read while
// the process still runs.
inline double peak_rss_mb(const std::string &pid) {
  long kb = status_number(pid, "VmHWM:");
  return kb < 0 ? 0 : static_cast<double>(kb) / 1024.0;
}

// The number of threads of process `pid`, -1 when it has gone.
inline int threads(const std::string &pid) { return static_cast<int>(status_number(pid, "Threads:")); }

// The count once it has stayed the same for 3 s (connections that have
// just ended take a moment to go, and an idle thread waits 2 s for its
// next connection), or after half a minute.
inline int settled(const std::function<int()> &count) {
  int last = count(), same = 0;
  for (int i = 0; i < 300 && same < 30; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    int now = count();
    same = now == last ? same + 1 : 0;
    last = now;
  }
  return last;
}

// An order-dependent checksum of a byte stream that does not depend on how
// the stream is cut: the two paths of a benchmark deliver the same bytes in
// different pieces (the lines of an RFC table, the server's records), and
// equal sums show that both read the same. Cheap enough not to slow the
// reader: one multiply per eight bytes.
class StreamSum {
 public:
  void add(const char *p, size_t n) {
    bytes_ += n;
    if (fill_ > 0) {
      size_t k = n < 8 - fill_ ? n : 8 - fill_;
      std::memcpy(pending_ + fill_, p, k);
      fill_ += k;
      p += k;
      n -= k;
      if (fill_ < 8) return;
      mix(pending_);
      fill_ = 0;
    }
    for (; n >= 8; p += 8, n -= 8) mix(p);
    std::memcpy(pending_, p, n);
    fill_ = n;
  }
  uint64_t bytes() const { return bytes_; }
  uint64_t value() const {
    StreamSum last = *this;
    if (last.fill_ > 0) {
      std::memset(last.pending_ + last.fill_, 0, 8 - last.fill_);
      last.mix(last.pending_);
    }
    return last.h_ ^ bytes_;
  }

 private:
  void mix(const char *p) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    h_ = (h_ ^ w) * 0x9E3779B97F4A7C15ull;
  }
  uint64_t h_ = 1469598103934665603ull, bytes_ = 0;
  char pending_[8] = {};
  size_t fill_ = 0;
};

}  // namespace bench

// A small deterministic generator for the demo data: the same seed gives
// the same database on every machine, whatever the standard library.
#pragma once

#include <cstdint>
#include <string>

namespace r3sim {

class DemoRandom {
 public:
  explicit DemoRandom(uint64_t seed) : state_(seed) {}

  uint64_t next() {
    // splitmix64: good spread, one word of state, identical everywhere.
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [lo, hi].
  int64_t range(int64_t lo, int64_t hi) {
    return lo + static_cast<int64_t>(next() % static_cast<uint64_t>(hi - lo + 1));
  }
  template <typename T, size_t N>
  const T &pick(const T (&items)[N]) {
    return items[next() % N];
  }

 private:
  uint64_t state_;
};

// Days since 1970-01-01 as YYYYMMDD, and back.
std::string date_text(int64_t days);
int64_t date_days(int year, int month, int day);

}  // namespace r3sim

#include "clock_text.h"

#include <ctime>

namespace r3sim {

ClockText::ClockText() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char d[16], h[16];
  std::strftime(d, sizeof d, "%Y%m%d", &tm);
  std::strftime(h, sizeof h, "%H%M%S", &tm);
  date = d;
  time = h;
}

}  // namespace r3sim

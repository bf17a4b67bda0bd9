// The current local date and time in the ABAP forms YYYYMMDD and HHMMSS.
#pragma once

#include <string>

namespace r3sim {

struct ClockText {
  ClockText();
  std::string date;
  std::string time;
};

}  // namespace r3sim

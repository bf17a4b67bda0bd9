// What the benchmark programs share.
#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

namespace bench {

// The highest resident set size process `pid` has had, in MB; read while
// the process still runs.
inline double peak_rss_mb(const std::string &pid) {
  std::ifstream status("/proc/" + pid + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  return 0;
}

}  // namespace bench

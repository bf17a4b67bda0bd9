// The r3sim command line.
#pragma once

#include <string>
#include <vector>

#include "simulator.h"

namespace r3sim {

struct CommandLine {
  SimulatorOptions options;
  bool help = false;
  std::string error;  // set when the arguments are not usable

  static CommandLine parse(const std::vector<std::string> &args);
  static const char *usage();
};

}  // namespace r3sim

// qorcli's command line: a command, the logon options and the command's
// own arguments.
#pragma once

#include <string>
#include <vector>

#include "logon_options.h"

namespace qorclient {

struct QorcliCommandLine {
  std::string command;
  LogonOptions logon;
  std::vector<std::string> arguments;  // what is not an option
  std::string table, where;            // compat
  int length = 0;
  int timeout_seconds = 60;
  bool help = false;
  std::string error;  // set when the line cannot be used

  static QorcliCommandLine parse(const std::vector<std::string> &args);
  static const char *usage();
};

}  // namespace qorclient

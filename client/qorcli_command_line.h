// qorcli's command line: a command, the logon options and the command's
// own arguments.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "logon_options.h"
#include "select_request.h"

namespace qorclient {

// qorcli's exit status.
enum QorcliExit { kDone = 0, kServerError = 1, kUsage = 2, kNoConnection = 3 };

struct QorcliCommandLine {
  std::string command;
  LogonOptions logon;
  std::vector<std::string> arguments;  // what is not an option
  SelectOptions select;
  std::string format = "csv";  // csv, json or raw
  std::string output;          // file for the rows; empty = standard output
  std::string xml_file;        // a select element of the user's own
  bool quiet = false;          // no progress line
  int length = 0;               // compat: the record length
  // call: every --param, --import, --table and --result value, in order.
  std::vector<std::string> params, imports, tables, results;
  int timeout_seconds = 60;
  // info: how the system information is printed.
  enum class InfoStyle { kAuto, kLabels, kRaw, kJson } info_style = InfoStyle::kAuto;
  std::string dest;           // a destination of the destinations file
  std::string password_file;  // the password is its first line
  bool verbose = false;       // the server's whole report, not its summary
  // Options given on the command line (e.g. "--user"): they win over a
  // destination's values.
  std::set<std::string> given;
  bool help = false;
  bool version = false;
  std::string error;  // set when the line cannot be used

  static QorcliCommandLine parse(const std::vector<std::string> &args);
  // HOST:PORT, also [v6-address]:PORT; false when it is not that.
  static bool split_server(const std::string &text, std::string &host, int &port);
  static const char *usage();
  // Says why the command line cannot be used, then the usage; kUsage.
  static int usage_error(const std::string &why);
};

}  // namespace qorclient

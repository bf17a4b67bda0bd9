// qorcli: proves that a server works and speaks its protocols exactly.
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "call_command.h"
#include "command_help.h"
#include "compat_command.h"
#include "main_session.h"
#include "password_encoder.h"
#include "qorcli_command_line.h"
#include "select_command.h"

using namespace qorclient;

namespace {

// Logs on with a connect element and prints the system-information line.
int info(const QorcliCommandLine &cl) {
  const LogonOptions &logon = cl.logon;
  if (logon.server_host.empty()) return QorcliCommandLine::usage_error("info needs --server HOST:PORT");
  std::string request;
  try {
    request = connect_element(logon);
  } catch (const std::invalid_argument &e) {
    return QorcliCommandLine::usage_error(e.what());
  }
  MainSession session(std::chrono::seconds(cl.timeout_seconds));
  if (!session.open(logon.server_host, logon.server_port) || !session.send_request(request)) {
    std::fprintf(stderr, "qorcli: %s\n", session.error().c_str());
    return kNoConnection;
  }
  std::string line;
  bool whole = session.read_line(line);
  if (whole && !MainSession::is_error_line(line)) {
    std::printf("%s\n", line.c_str());
    return kDone;
  }
  if (!whole && line.empty()) {
    std::fprintf(stderr, "qorcli: no reply from the server\n");
    return kNoConnection;
  }
  // A failed request ends the connection: everything up to its close is
  // the server's report.
  std::vector<std::string> lines{line};
  if (whole)
    for (auto &l : session.read_until_closed()) lines.push_back(l);
  for (const auto &l : lines) std::fprintf(stderr, "%s\n", l.c_str());
  return kServerError;
}

int encode(const QorcliCommandLine &cl) {
  if (cl.arguments.size() != 1) return QorcliCommandLine::usage_error("encode-password needs one PASSWORD");
  try {
    std::printf("%s\n", encode_password(cl.arguments[0]).c_str());
  } catch (const std::invalid_argument &e) {
    std::fprintf(stderr, "qorcli: %s\n", e.what());
    return kUsage;
  }
  return kDone;
}

}  // namespace

int main(int argc, char **argv) {
  QorcliCommandLine cl = QorcliCommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
  if (cl.help) {
    const char *help = command_help(cl.command);
    if (!help) return QorcliCommandLine::usage_error("unknown command " + cl.command);
    std::fputs(help, stdout);
    return kDone;
  }
  if (!cl.error.empty()) return QorcliCommandLine::usage_error(cl.error);
  if (cl.command == "info") return info(cl);
  if (cl.command == "encode-password") return encode(cl);
  if (cl.command == "select") return select_command(cl);
  if (cl.command == "compat") return compat_command(cl);
  if (cl.command == "call") return call_command(cl);
  return QorcliCommandLine::usage_error("unknown command " + cl.command);
}

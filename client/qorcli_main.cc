// qorcli: proves that a server works and speaks its protocols exactly.
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "call_command.h"
#include "command_help.h"
#include "compat_command.h"
#include "logon_reply.h"
#include "logon_sources.h"
#include "main_session.h"
#include "password_encoder.h"
#include "password_source.h"
#include "qorcli_command_line.h"
#include "select_command.h"
#include "server_report.h"
#include "system_info_line.h"

using namespace qorclient;

namespace {

// Prints the system-information line: labelled for a person at a
// terminal, as it came for a program reading a pipe (or with --raw), or
// as one JSON object.
void print_system_info(const std::string &line, QorcliCommandLine::InfoStyle style) {
  using Style = QorcliCommandLine::InfoStyle;
  if (style == Style::kAuto) style = ::isatty(STDOUT_FILENO) ? Style::kLabels : Style::kRaw;
  SystemInfoLine info;
  if (style == Style::kRaw || !info.parse(line)) {
    if (style != Style::kRaw)
      ServerReport::print_failure("the system-information line has an unexpected form; it follows as it came");
    std::printf("%s\n", line.c_str());
    return;
  }
  if (style == Style::kJson)
    std::printf("%s\n", info.json().c_str());
  else
    std::fputs(info.labelled().c_str(), stdout);
}

// Logs on with a connect element and prints the system information.
int info(const QorcliCommandLine &cl) {
  if (cl.logon.server_host.empty()) return QorcliCommandLine::usage_error("info needs --server HOST:PORT");
  try {
    connect_element(cl.logon);
  } catch (const std::invalid_argument &e) {
    return QorcliCommandLine::usage_error(e.what());
  }
  MainSession session(std::chrono::seconds(cl.timeout_seconds));
  LogonReply reply = LogonReply::log_on(session, cl.logon);
  if (reply.ok()) {
    print_system_info(reply.system_info, cl.info_style);
    return kDone;
  }
  if (!reply.error.empty()) {
    ServerReport::print_failure(reply.error);
    return kNoConnection;
  }
  ServerReport::print(reply.errors, "the logon failed", cl.verbose);
  return kServerError;
}

// The password to encode: the argument, or (so that it need not be on a
// command line) QORCLI_PASSWORD or a prompt.
int encode(const QorcliCommandLine &cl) {
  if (cl.arguments.size() > 1) return QorcliCommandLine::usage_error("encode-password takes one PASSWORD");
  std::string password;
  if (!cl.arguments.empty()) {
    password = cl.arguments[0];
  } else if (!PasswordSource::from_environment(password)) {
    if (!PasswordSource::can_prompt())
      return QorcliCommandLine::usage_error("encode-password needs a PASSWORD, QORCLI_PASSWORD or a terminal");
    if (!PasswordSource::prompt("Password: ", password)) {
      ServerReport::print_failure("no password was entered");
      return kUsage;
    }
  }
  try {
    std::printf("%s\n", encode_password(password).c_str());
  } catch (const std::invalid_argument &e) {
    std::fprintf(stderr, "qorcli: %s\n", e.what());
    return kUsage;
  }
  return kDone;
}

}  // namespace

int main(int argc, char **argv) {
  QorcliCommandLine cl = QorcliCommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
  if (cl.version) {
    std::printf("qorcli %s\n", QORRFC_VERSION);
    return kDone;
  }
  if (cl.help) {
    const char *help = command_help(cl.command);
    if (!help) return QorcliCommandLine::usage_error("unknown command " + cl.command);
    std::fputs(help, stdout);
    return kDone;
  }
  if (!cl.error.empty()) return QorcliCommandLine::usage_error(cl.error);
  if (cl.command == "encode-password") return encode(cl);
  int (*command)(const QorcliCommandLine &) = cl.command == "info"     ? info
                                              : cl.command == "select" ? select_command
                                              : cl.command == "compat" ? compat_command
                                              : cl.command == "call"   ? call_command
                                                                       : nullptr;
  if (!command) return QorcliCommandLine::usage_error("unknown command " + cl.command);
  std::string why;
  if (!LogonSources::complete(cl, why)) {
    ServerReport::print_failure(why);
    return kUsage;
  }
  return command(cl);
}

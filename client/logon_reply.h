// A connect request on a main-port connection and what the server answers:
// the system-information line, or the lines of its report before it closes
// the connection.
#pragma once

#include <string>
#include <vector>

#include "logon_options.h"
#include "main_session.h"

namespace qorclient {

struct LogonReply {
  std::string system_info;          // the line, when the logon succeeded
  std::vector<std::string> errors;  // the server's report
  std::string error;                // the connection failed or broke off

  bool ok() const { return errors.empty() && error.empty(); }

  // Opens `session` on the server and logs on; the session stays open as
  // the logon connection when that succeeded.
  static LogonReply log_on(MainSession &session, const LogonOptions &logon);
};

}  // namespace qorclient

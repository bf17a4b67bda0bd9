#include "logon_reply.h"

#include <stdexcept>

namespace qorclient {

LogonReply LogonReply::log_on(MainSession &session, const LogonOptions &logon) {
  LogonReply r;
  std::string request;
  try {
    request = connect_element(logon);
  } catch (const std::invalid_argument &e) {
    r.error = e.what();
    return r;
  }
  if (!session.open(logon.server_host, logon.server_port)) {
    r.error = session.error();
    return r;
  }
  if (!session.send_request(request)) {
    r.error = session.error();
    return r;
  }
  std::string line;
  bool whole = session.read_line(line);
  if (whole && !MainSession::is_error_line(line)) {
    r.system_info = line;
    return r;
  }
  if (!line.empty()) r.errors.push_back(line);
  // A failed logon ends the connection: everything up to its close is the
  // server's report.
  if (whole)
    for (auto &l : session.read_until_closed())
      if (!l.empty()) r.errors.push_back(l);
  if (r.errors.empty()) r.error = "no reply to the connect request from the server";
  return r;
}

}  // namespace qorclient

// One RFC connection behind a handle: the socket, what was learnt at logon,
// and the stack of open calls in both directions. Calls nest: each side
// pushes the calls it makes (outgoing) and receives (incoming), and every
// answer closes the innermost open call. Used by one thread at a time.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rfc_error.h"
#include "rfc_socket.h"
#include "saprfc.h"

namespace rfcl {

class Itab;

enum class Role {
  Client,      // opened with RfcOpenEx
  Session,     // a client's session, served by the partner side
  Registered,  // a program registered at a gateway (RfcAccept)
  Gateway,     // the gateway's handle on a registered program
};

struct LogonData {
  std::string client, user, passwd, lang, progname;
};

struct SystemData {
  std::string sysid, systnr, host, codepage, pcs, release, kernel;
};

class Conn {
 public:
  Conn(Role role, std::shared_ptr<rfcw::Socket> socket);
  ~Conn();

  Role role() const { return role_; }
  rfcw::Socket &socket() { return *socket_; }

  // What RfcGetAttributes reports.
  LogonData logon_;
  SystemData system_;
  std::string dest_;
  std::string partner_host_;
  bool logged_on_ = false;
  // Runs once when the handle is closed; clean is false when calls were
  // still open or the connection had broken.
  std::function<void(bool clean)> on_close_;
  // Of a gateway's handle: another registration of the same program id,
  // for a first call its program closed on before taking it; nullptr with
  // err when there is none.
  std::function<std::shared_ptr<rfcw::Socket>(Error &err)> reroute_;

  // Logs on with the logon data; false with the last error set.
  bool log_on();

  RFC_RC call(const char *function, RFC_PARAMETER *exporting, RFC_TABLE *tables);
  RFC_RC receive(RFC_PARAMETER *importing, RFC_TABLE *tables, char **exception);
  RFC_RC wait(int seconds);
  RFC_RC get_name(char *function);
  RFC_RC get_data(RFC_PARAMETER *importing, RFC_TABLE *tables);
  RFC_RC send_data(RFC_PARAMETER *exporting, RFC_TABLE *tables);
  RFC_RC raise(const char *exception, RFC_TABLE *tables);
  RFC_RC system_failure(const RFC_ERROR_INFO_EX &error);
  // Ends the connection as RfcClose does.
  void close();
  // Cuts the connection with no closing frame; safe from another thread.
  void drop();

 private:
  struct Level {
    bool incoming;
    std::unique_ptr<rfcw::Frame> frame;                 // the call received
    std::vector<std::pair<Itab *, uint64_t>> received;  // tables as filled by RfcGetData
  };

  RFC_RC fail(const Error &e);  // breaks the connection
  RFC_RC misuse(const std::string &what, RFC_RC rc = RFC_FAILURE);
  RFC_RC dead();
  bool send(rfcw::Encoder &e);
  bool send_bytes(const std::string &bytes);
  // Sends the first call to the registration reroute_ gives; false (broken)
  // when there is none.
  bool route_anew();
  // Reads a frame; on failure the connection is broken and rc set.
  bool read(rfcw::Frame &f, int timeout_ms, RFC_RC &rc, bool &timed_out);
  Level *pending();  // the innermost call if it is an unanswered incoming one
  RFC_RC answer_pending_empty();
  RFC_RC answer(rfcw::Kind kind, const char *name, RFC_PARAMETER *exporting, RFC_TABLE *tables);

  Role role_;
  std::shared_ptr<rfcw::Socket> socket_;
  std::vector<Level> stack_;
  bool broken_ = false;
  bool closed_by_partner_ = false;
  bool ready_sent_ = false;
  // Of a gateway's handle: the first call as sent, until its program has
  // answered anything (until then it may still go to another program).
  std::string first_call_;
  bool started_ = false;
  std::atomic<bool> dropped_{false};
  Error dead_error_;
  std::string exception_;
};

// The handle table: thread-safe, handles never reused while the process runs.
RFC_HANDLE add_handle(std::shared_ptr<Conn> conn);
std::shared_ptr<Conn> find_handle(RFC_HANDLE h);
std::shared_ptr<Conn> take_handle(RFC_HANDLE h);

}  // namespace rfcl

// What an accepted connection's worker thread does with the first frame:
// a logon becomes a session run by the host, a registration goes to the
// gateway, queries are answered and the connection closed.
#include <cstring>

#include "rfc_conn.h"
#include "rfcp_server.h"

namespace {

constexpr int kFirstFrameMs = 60000;

template <size_t N>
void copy_cut(char (&dst)[N], std::string_view src) {
  size_t n = std::min(src.size(), N - 1);
  std::memcpy(dst, src.data(), n);
  dst[n] = '\0';
}

void send_error(rfcw::Socket &s, const rfcl::Error &e) {
  rfcw::Encoder f(rfcw::Kind::Error, {});
  f.text(e.key);
  f.text(e.message.substr(0, rfcw::kMaxText));
  f.num(static_cast<uint32_t>(e.group));
  f.finish();
  std::string why;
  s.send(f, why);
}

}  // namespace

void RFCP_SERVER::serve(Worker *w) {
  std::shared_ptr<rfcw::Socket> s;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    s = w->socket_;
  }
  rfcw::Frame f;
  std::string why;
  switch (s->read(f, kFirstFrameMs, why)) {
    case rfcw::ReadResult::Ok:
      break;
    case rfcw::ReadResult::Version:
      send_error(*s, rfcl::make_error(RFC_ERROR_PROTOCOL, "Protocol version mismatch\nERROR       " + why));
      return;
    case rfcw::ReadResult::Malformed:
      send_error(*s, rfcl::protocol(s->peer(), why));
      return;
    default:
      return;
  }
  const rfcw::Message &m = f.msg;
  switch (m.kind) {
    case rfcw::Kind::Logon:
      return serve_logon(s, m);
    case rfcw::Kind::Register:
      return serve_register(s, m);
    case rfcw::Kind::CountQuery: {
      int i = 0, r = 0, b = 0;
      gateway_->count(std::string(m.name), i, r, b);
      rfcw::Encoder a(rfcw::Kind::Counts, {});
      a.num(static_cast<uint32_t>(i));
      a.num(static_cast<uint32_t>(r));
      a.num(static_cast<uint32_t>(b));
      a.finish();
      s->send(a, why);
      return;
    }
    case rfcw::Kind::MsQuery:
      return serve_ms_query(*s, m);
    default:
      send_error(*s, rfcl::protocol(s->peer(), std::string("unexpected first frame ") +
                                                   rfcw::kind_name(m.kind)));
  }
}

void RFCP_SERVER::serve_logon(const std::shared_ptr<rfcw::Socket> &shared, const rfcw::Message &m) {
  rfcw::Socket &s = *shared;
  RFCP_LOGON logon{};
  copy_cut(logon.client, m.text(0));
  copy_cut(logon.user, m.text(1));
  copy_cut(logon.password, m.text(2));
  copy_cut(logon.language, m.text(3));
  copy_cut(logon.progname, m.text(4));
  copy_cut(logon.client_host, s.peer_host());
  RFC_ERROR_INFO_EX err{};
  if (cb_.check_logon && cb_.check_logon(ctx_, &logon, &err) != 0) {
    rfcl::Error e = rfcl::from_record(err);
    if (e.key.empty()) e.key = rfcl::group_key(e.group);
    send_error(s, e);
    return;
  }
  rfcw::Encoder ok(rfcw::Kind::LogonOk, {});
  for (const char *t : {sys_.sysid, sys_.systnr, sys_.host, sys_.codepage, sys_.pcs, sys_.release,
                        sys_.kernel_release})
    ok.text(t);
  ok.finish();
  std::string why;
  if (!s.send(ok, why)) return;
  auto conn = std::make_shared<rfcl::Conn>(rfcl::Role::Session, shared);
  conn->logon_ = rfcl::LogonData{logon.client, logon.user, "", logon.language, logon.progname};
  conn->system_ = rfcl::SystemData{sys_.sysid, sys_.systnr, logon.client_host, "1100", "1",
                                  "", ""};
  conn->partner_host_ = logon.client_host;
  conn->logged_on_ = true;
  RFC_HANDLE h = rfcl::add_handle(std::move(conn));
  if (cb_.session) cb_.session(ctx_, h, &logon);
  RfcClose(h);
}

void RFCP_SERVER::serve_register(const std::shared_ptr<rfcw::Socket> &s, const rfcw::Message &m) {
  std::string progid(m.name);
  if (progid.empty()) {
    send_error(*s, rfcl::protocol(s->peer(), "registration without a program id"));
    return;
  }
  RFC_ERROR_INFO_EX err{};
  std::string host = s->peer_host();
  if (cb_.check_registration && cb_.check_registration(ctx_, progid.c_str(), host.c_str(), &err) != 0) {
    rfcl::Error e = rfcl::from_record(err);
    if (e.key.empty()) e.key = rfcl::group_key(e.group);
    send_error(*s, e);
    return;
  }
  rfcw::Encoder ok(rfcw::Kind::RegisterOk, {});
  ok.finish();
  std::string why;
  // Registered before the answer leaves, so a query that follows the
  // program's RfcAccept always counts it.
  gateway_->add(progid, s);
  s->send(ok, why);
}

void RFCP_SERVER::serve_ms_query(rfcw::Socket &s, const rfcw::Message &m) {
  std::string r3name(m.text(0)), group(m.text(1));
  char host[256] = "";
  int port = 0;
  int rc;
  if (cb_.message_server) {
    rc = cb_.message_server(ctx_, r3name.c_str(), group.c_str(), host, sizeof host, &port);
    host[sizeof host - 1] = '\0';
  } else {
    std::lock_guard<std::mutex> lock(mutex_);
    copy_cut(host, first_host_);
    port = first_port_;
    rc = port > 0 ? 0 : 1;
  }
  if (rc != 0 || port <= 0 || port > 65535) {
    send_error(s, rfcl::make_error(RFC_ERROR_COMMUNICATION,
                                   "Connect to message server failed\nERROR       no application server "
                                   "of group '" + group + "' found for system " + r3name));
    return;
  }
  rfcw::Encoder a(rfcw::Kind::MsAnswer, {});
  a.text(host);
  a.num(static_cast<uint32_t>(port));
  a.finish();
  std::string why;
  s.send(a, why);
}

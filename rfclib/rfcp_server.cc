// The partner side's server: listeners, one thread per accepted connection
// told apart by its first frame (logon, registration, registration query,
// message-server query), and the session threads of logged-on clients.
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

#include "rfc_conn.h"
#include "rfc_partner.h"
#include "rfcp_gateway.h"

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

struct RFCP_SERVER {
  struct Worker {
    std::thread thread;
    std::shared_ptr<rfcw::Socket> socket;
    std::atomic<bool> done{false};
  };

  RFCP_CALLBACKS cb{};
  void *ctx = nullptr;
  RFCP_SYSTEM sys{};
  std::shared_ptr<rfcp::Gateway> gateway = std::make_shared<rfcp::Gateway>();

  std::mutex mutex;
  std::vector<int> listeners;
  std::string first_host;
  int first_port = 0;
  int wake[2] = {-1, -1};
  std::thread acceptor;
  bool stopping = false;
  std::list<Worker> workers;

  // Runs on the acceptor thread until the server is destroyed.
  void accept_loop();
  // Runs on a worker thread for each accepted connection.
  void serve(Worker *w);
  void serve_logon(rfcw::Socket &s, const std::shared_ptr<rfcw::Socket> &shared, const rfcw::Message &m);
  void serve_register(const std::shared_ptr<rfcw::Socket> &s, const rfcw::Message &m);
  void serve_ms_query(rfcw::Socket &s, const rfcw::Message &m);
  void reap_workers();
};

void RFCP_SERVER::reap_workers() {
  for (auto it = workers.begin(); it != workers.end();) {
    if (it->done) {
      it->thread.join();
      it = workers.erase(it);
    } else {
      ++it;
    }
  }
}

void RFCP_SERVER::accept_loop() {
  for (;;) {
    std::vector<pollfd> fds;
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (stopping) return;
      fds.push_back({wake[0], POLLIN, 0});
      for (int l : listeners) fds.push_back({l, POLLIN, 0});
    }
    if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) return;
    if (fds[0].revents) {
      char buf[16];
      while (::read(wake[0], buf, sizeof buf) > 0) {
      }
    }
    for (size_t i = 1; i < fds.size(); ++i) {
      if (!(fds[i].revents & POLLIN)) continue;
      int fd = ::accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      rfcw::tune_socket(fd);
      std::lock_guard<std::mutex> lock(mutex);
      if (stopping) {
        ::close(fd);
        return;
      }
      reap_workers();
      workers.emplace_back();
      Worker *w = &workers.back();
      w->socket = std::make_shared<rfcw::Socket>(fd, rfcw::peer_of(fd));
      w->thread = std::thread([this, w] {
        serve(w);
        // Only a registration's connection outlives its first exchange.
        std::lock_guard<std::mutex> lock(mutex);
        w->socket.reset();
        w->done = true;
      });
    }
  }
}

void RFCP_SERVER::serve(Worker *w) {
  std::shared_ptr<rfcw::Socket> s;
  {
    std::lock_guard<std::mutex> lock(mutex);
    s = w->socket;
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
      return serve_logon(*s, s, m);
    case rfcw::Kind::Register:
      return serve_register(s, m);
    case rfcw::Kind::CountQuery: {
      int i = 0, r = 0, b = 0;
      gateway->count(std::string(m.name), i, r, b);
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

void RFCP_SERVER::serve_logon(rfcw::Socket &s, const std::shared_ptr<rfcw::Socket> &shared,
                              const rfcw::Message &m) {
  RFCP_LOGON logon{};
  copy_cut(logon.client, m.text(0));
  copy_cut(logon.user, m.text(1));
  copy_cut(logon.password, m.text(2));
  copy_cut(logon.language, m.text(3));
  copy_cut(logon.progname, m.text(4));
  copy_cut(logon.client_host, s.peer_host());
  RFC_ERROR_INFO_EX err{};
  if (cb.check_logon && cb.check_logon(ctx, &logon, &err) != 0) {
    rfcl::Error e = rfcl::from_record(err);
    if (e.key.empty()) e.key = rfcl::group_key(e.group);
    send_error(s, e);
    return;
  }
  rfcw::Encoder ok(rfcw::Kind::LogonOk, {});
  for (const char *t : {sys.sysid, sys.systnr, sys.host, sys.codepage, sys.pcs, sys.release,
                        sys.kernel_release})
    ok.text(t);
  ok.finish();
  std::string why;
  if (!s.send(ok, why)) return;
  auto conn = std::make_shared<rfcl::Conn>(rfcl::Role::Session, shared);
  conn->logon = rfcl::LogonData{logon.client, logon.user, "", logon.language, logon.progname};
  conn->system = rfcl::SystemData{sys.sysid, sys.systnr, logon.client_host, "1100", "1",
                                  "", ""};
  conn->partner_host = logon.client_host;
  conn->logged_on = true;
  RFC_HANDLE h = rfcl::add_handle(std::move(conn));
  if (cb.session) cb.session(ctx, h, &logon);
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
  if (cb.check_registration && cb.check_registration(ctx, progid.c_str(), host.c_str(), &err) != 0) {
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
  gateway->add(progid, s);
  s->send(ok, why);
}

void RFCP_SERVER::serve_ms_query(rfcw::Socket &s, const rfcw::Message &m) {
  std::string r3name(m.text(0)), group(m.text(1));
  char host[256] = "";
  int port = 0;
  int rc;
  if (cb.message_server) {
    rc = cb.message_server(ctx, r3name.c_str(), group.c_str(), host, sizeof host, &port);
    host[sizeof host - 1] = '\0';
  } else {
    std::lock_guard<std::mutex> lock(mutex);
    copy_cut(host, first_host);
    port = first_port;
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

extern "C" {

RFCP_SERVER *RfcpServerCreate(const RFCP_CALLBACKS *callbacks, void *ctx, const RFCP_SYSTEM *system) {
  auto *s = new RFCP_SERVER;
  if (callbacks) s->cb = *callbacks;
  s->ctx = ctx;
  if (system) s->sys = *system;
  if (::pipe2(s->wake, O_CLOEXEC | O_NONBLOCK) != 0) {
    delete s;
    return nullptr;
  }
  return s;
}

int RfcpServerListen(RFCP_SERVER *s, const char *host, int port, int *bound_port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo *res = nullptr;
  std::string service = std::to_string(port);
  if (::getaddrinfo(host, service.c_str(), &hints, &res) != 0 || !res) {
    errno = EADDRNOTAVAIL;
    return -1;
  }
  int fd = ::socket(res->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  if (fd >= 0) ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (fd < 0 || ::bind(fd, res->ai_addr, res->ai_addrlen) != 0 || ::listen(fd, 128) != 0) {
    int e = errno;
    if (fd >= 0) ::close(fd);
    ::freeaddrinfo(res);
    errno = e;
    return -1;
  }
  ::freeaddrinfo(res);
  sockaddr_storage a{};
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
  char serv[NI_MAXSERV] = "0";
  ::getnameinfo(reinterpret_cast<sockaddr *>(&a), len, nullptr, 0, serv, sizeof serv, NI_NUMERICSERV);
  int bound = std::atoi(serv);
  if (bound_port) *bound_port = bound;
  std::lock_guard<std::mutex> lock(s->mutex);
  s->listeners.push_back(fd);
  if (s->first_port == 0) {
    s->first_host = host ? host : "127.0.0.1";
    s->first_port = bound;
  }
  if (!s->acceptor.joinable())
    s->acceptor = std::thread([s] { s->accept_loop(); });
  else if (::write(s->wake[1], "x", 1) < 0) {
    // The pipe is full: the acceptor is about to look again anyway.
  }
  return 0;
}

void RfcpServerDestroy(RFCP_SERVER *s) {
  if (!s) return;
  {
    std::lock_guard<std::mutex> lock(s->mutex);
    s->stopping = true;
    if (::write(s->wake[1], "x", 1) < 0) {
      // Full pipe: the acceptor wakes up anyway.
    }
  }
  if (s->acceptor.joinable()) s->acceptor.join();
  std::list<RFCP_SERVER::Worker> workers;
  {
    std::lock_guard<std::mutex> lock(s->mutex);
    for (auto &w : s->workers)
      if (w.socket) w.socket->shutdown();
    workers.swap(s->workers);
  }
  for (auto &w : workers) w.thread.join();
  s->gateway->shutdown();
  for (int l : s->listeners) ::close(l);
  ::close(s->wake[0]);
  ::close(s->wake[1]);
  delete s;
}

RFC_HANDLE RfcpGatewayOpen(RFCP_SERVER *s, const char *progid, RFC_ERROR_INFO_EX *error) {
  rfcl::Error err;
  RFC_HANDLE h = s && progid ? s->gateway->open(progid, err) : RFC_HANDLE_NULL;
  if (h == RFC_HANDLE_NULL) {
    if (!s || !progid) err = rfcl::program("RfcpGatewayOpen: no server or program id");
    rfcl::set_last(err, error);
  }
  return h;
}

void RfcpGatewayCount(RFCP_SERVER *s, const char *progid, int *ninit, int *nready, int *nbusy) {
  int i = 0, r = 0, b = 0;
  if (s && progid) s->gateway->count(progid, i, r, b);
  if (ninit) *ninit = i;
  if (nready) *nready = r;
  if (nbusy) *nbusy = b;
}

}  // extern "C"

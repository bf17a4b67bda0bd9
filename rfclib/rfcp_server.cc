// The partner side's server: creation, listeners and the acceptor thread,
// shutdown, and the gateway entry points.
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "rfc_conn.h"
#include "rfcp_server.h"

void RFCP_SERVER::reap_workers() {
  for (auto &w : ended_) w.thread_.join();
  ended_.clear();
}

void RFCP_SERVER::worker_ended(Worker *w) {
  std::lock_guard<std::mutex> lock(mutex_);
  w->socket_.reset();
  w->done_ = true;
  // Once stopping, the destroyer owns the lists and joins every worker.
  if (!stopping_) ended_.splice(ended_.end(), workers_, w->self_);
}

void RFCP_SERVER::accept_loop() {
  for (;;) {
    std::vector<pollfd> fds;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) return;
      fds.push_back({wake_[0], POLLIN, 0});
      for (int l : listeners_) fds.push_back({l, POLLIN, 0});
    }
    if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) return;
    if (fds[0].revents) {
      char buf[16];
      while (::read(wake_[0], buf, sizeof buf) > 0) {
      }
    }
    for (size_t i = 1; i < fds.size(); ++i) {
      if (!(fds[i].revents & POLLIN)) continue;
      int fd = ::accept4(fds[i].fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      rfcw::tune_socket(fd);
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopping_) {
        ::close(fd);
        return;
      }
      reap_workers();
      workers_.emplace_back();
      Worker *w = &workers_.back();
      w->self_ = std::prev(workers_.end());
      w->socket_ = std::make_shared<rfcw::Socket>(fd, rfcw::peer_of(fd));
      w->thread_ = std::thread([this, w] {
        serve(w);
        // Only a registration's connection outlives its first exchange.
        worker_ended(w);
      });
    }
  }
}

extern "C" {

RFCP_SERVER *RfcpServerCreate(const RFCP_CALLBACKS *callbacks, void *ctx_, const RFCP_SYSTEM *system) {
  auto *s = new RFCP_SERVER;
  if (callbacks) s->cb_ = *callbacks;
  s->ctx_ = ctx_;
  if (system) s->sys_ = *system;
  if (::pipe2(s->wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
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
  // A burst of logons must wait in the queue rather than be dropped and
  // retried by the client's kernel a second or more later.
  if (fd < 0 || ::bind(fd, res->ai_addr, res->ai_addrlen) != 0 || ::listen(fd, SOMAXCONN) != 0) {
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
  std::lock_guard<std::mutex> lock(s->mutex_);
  s->listeners_.push_back(fd);
  if (s->first_port_ == 0) {
    s->first_host_ = host ? host : "127.0.0.1";
    s->first_port_ = bound;
  }
  if (!s->acceptor_.joinable())
    s->acceptor_ = std::thread([s] { s->accept_loop(); });
  else if (::write(s->wake_[1], "x", 1) < 0) {
    // The pipe is full: the acceptor is about to look again anyway.
  }
  return 0;
}

void RfcpServerDestroy(RFCP_SERVER *s) {
  if (!s) return;
  {
    std::lock_guard<std::mutex> lock(s->mutex_);
    s->stopping_ = true;
    if (::write(s->wake_[1], "x", 1) < 0) {
      // Full pipe: the acceptor wakes up anyway.
    }
  }
  if (s->acceptor_.joinable()) s->acceptor_.join();
  std::list<RFCP_SERVER::Worker> workers_;
  {
    std::lock_guard<std::mutex> lock(s->mutex_);
    for (auto &w : s->workers_)
      if (w.socket_) w.socket_->shutdown();
    workers_.swap(s->workers_);
    workers_.splice(workers_.end(), s->ended_);
  }
  for (auto &w : workers_) w.thread_.join();
  s->gateway_->shutdown();
  for (int l : s->listeners_) ::close(l);
  ::close(s->wake_[0]);
  ::close(s->wake_[1]);
  delete s;
}

RFC_HANDLE RfcpGatewayOpen(RFCP_SERVER *s, const char *progid, RFC_ERROR_INFO_EX *error) {
  rfcl::Error err;
  RFC_HANDLE h = s && progid ? s->gateway_->open(progid, err) : RFC_HANDLE_NULL;
  if (h == RFC_HANDLE_NULL) {
    if (!s || !progid) err = rfcl::program("RfcpGatewayOpen: no server or program id");
    rfcl::set_last(err, error);
  }
  return h;
}

void RfcpGatewayCount(RFCP_SERVER *s, const char *progid, int *ninit, int *nready, int *nbusy) {
  int i = 0, r = 0, b = 0;
  if (s && progid) s->gateway_->count(progid, i, r, b);
  if (ninit) *ninit = i;
  if (nready) *nready = r;
  if (nbusy) *nbusy = b;
}

}  // extern "C"
// The connection's calls into POSIX sockets.
#include "rfc_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace rfcw {

namespace {
int wait_readable(int fd, int timeout_ms) {
  pollfd p{fd, POLLIN, 0};
  for (;;) {
    int r = ::poll(&p, 1, timeout_ms);
    if (r < 0 && errno == EINTR) continue;
    return r;
  }
}
}  // namespace

namespace {

// The library's connections are waited on with poll(), which takes any
// descriptor. A program hosting it may watch its own sockets with
// select(), which takes none from FD_SETSIZE on: the library's move out of
// that range where the descriptor limit allows, leaving it to the host.
int above_select_range(int fd) {
  if (fd < 0 || fd >= FD_SETSIZE) return fd;
  int high = ::fcntl(fd, F_DUPFD_CLOEXEC, FD_SETSIZE);
  if (high < 0) return fd;
  ::close(fd);
  return high;
}

}  // namespace

Socket::Socket(int fd, std::string peer) : fd_(above_select_range(fd)), peer_(std::move(peer)) {}

Socket::~Socket() {
  if (fd_ >= 0) ::close(fd_);
}

void Socket::shutdown() { ::shutdown(fd_, SHUT_RDWR); }

bool Socket::send_iov(std::vector<iovec> iov, std::string &why) {
  size_t first = 0;
  while (first < iov.size()) {
    msghdr m{};
    m.msg_iov = &iov[first];
    m.msg_iovlen = std::min<size_t>(iov.size() - first, IOV_MAX);
    ssize_t n = ::sendmsg(fd_, &m, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      why = std::strerror(errno);
      return false;
    }
    size_t left = static_cast<size_t>(n);
    while (first < iov.size() && left >= iov[first].iov_len) {
      left -= iov[first].iov_len;
      ++first;
    }
    if (left > 0) {
      iov[first].iov_base = static_cast<char *>(iov[first].iov_base) + left;
      iov[first].iov_len -= left;
    }
  }
  return true;
}

// Waits up to first_timeout_ms (-1: no limit) for the first byte, then
// reads all n bytes in blocking calls; the socket's receive time-out
// (kStallMs, set by tune_socket) ends a partner stalling in between.
Socket::Io Socket::read_exact(char *p, size_t n, int first_timeout_ms, std::string &why) {
  // Bytes that are already there are taken without a poll first: while
  // rows stream in, that is one system call per read instead of two.
  size_t got = 0;
  ssize_t first = ::recv(fd_, p, n, MSG_DONTWAIT);
  if (first > 0) {
    got = static_cast<size_t>(first);
  } else if (first == 0) {
    return Io::Eof;
  } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
    why = std::strerror(errno);
    return Io::Error;
  } else {
    int w = wait_readable(fd_, first_timeout_ms);
    if (w == 0) return Io::Timeout;
    if (w < 0) {
      why = std::strerror(errno);
      return Io::Error;
    }
  }
  while (got < n) {
    ssize_t r = ::recv(fd_, p + got, n - got, MSG_WAITALL);
    if (r > 0) {
      got += static_cast<size_t>(r);
      continue;
    }
    if (r == 0) return got == 0 ? Io::Eof : Io::Error;
    if (errno == EINTR) continue;
    why = (errno == EAGAIN || errno == EWOULDBLOCK) ? "partner stalled in the middle of a frame"
                                                    : std::strerror(errno);
    return Io::Error;
  }
  return Io::Ok;
}

void tune_socket(int fd) {
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  timeval stall{kStallMs / 1000, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &stall, sizeof stall);
}

std::string peer_of(int fd) {
  sockaddr_storage a{};
  socklen_t len = sizeof a;
  if (::getpeername(fd, reinterpret_cast<sockaddr *>(&a), &len) != 0) return "?";
  char host[NI_MAXHOST], serv[NI_MAXSERV];
  if (::getnameinfo(reinterpret_cast<sockaddr *>(&a), len, host, sizeof host, serv, sizeof serv,
                    NI_NUMERICHOST | NI_NUMERICSERV) != 0)
    return "?";
  return std::string(host) + ":" + serv;
}

std::unique_ptr<Socket> connect_tcp(const std::string &host, int port, std::string &why) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo *res = nullptr;
  std::string service = std::to_string(port);
  int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &res);
  if (rc != 0) {
    why = std::string("host '") + host + "' unknown";
    return nullptr;
  }
  why = "no address";
  for (addrinfo *a = res; a; a = a->ai_next) {
    int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) {
      why = std::strerror(errno);
      continue;
    }
    int r;
    do r = ::connect(fd, a->ai_addr, a->ai_addrlen);
    while (r != 0 && errno == EINTR);
    if (r == 0) {
      ::freeaddrinfo(res);
      tune_socket(fd);
      return std::make_unique<Socket>(fd, peer_of(fd));
    }
    why = std::strerror(errno);
    ::close(fd);
  }
  ::freeaddrinfo(res);
  return nullptr;
}

std::string local_host_name() {
  char host[256] = "";
  if (::gethostname(host, sizeof host - 1) != 0) return "";
  return host;
}

}  // namespace rfcw

#include "socket_stream.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qorclient {

namespace {

int remaining_ms(std::chrono::steady_clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// What a user checks next when a connection fails.
std::string next_step(int err) {
  switch (err) {
    case ECONNREFUSED: return " (nothing listens there: is the server running, and on that port?)";
    case ETIMEDOUT: return " (no answer: is the host reachable, or does a firewall drop it?)";
    case EHOSTUNREACH:
    case ENETUNREACH: return " (no route to that host: check the host name)";
    default: return "";
  }
}

}  // namespace

SocketStream::~SocketStream() { close(); }

bool SocketStream::connect(const std::string &host, int port, Timeout timeout) {
  close();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo *res = nullptr;
  int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &res);
  if (rc != 0) {
    error_ = "cannot resolve " + host + ": " + gai_strerror(rc);
    return false;
  }
  auto deadline = std::chrono::steady_clock::now() + timeout;
  error_ = "cannot connect to " + host + ":" + std::to_string(port);
  for (addrinfo *a = res; a && fd_ < 0; a = a->ai_next) {
    int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                      a->ai_protocol);
    if (fd < 0) continue;
    int err = 0;
    if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
      err = errno;
      if (err == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, remaining_ms(deadline)) == 1) {
          socklen_t len = sizeof err;
          getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
        } else {
          err = ETIMEDOUT;
        }
      }
    }
    if (err != 0) {
      error_ = "cannot connect to " + host + ":" + std::to_string(port) + ": " +
               std::strerror(err) + next_step(err);
      ::close(fd);
      continue;
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    fd_ = fd;
  }
  freeaddrinfo(res);
  if (fd_ >= 0) error_.clear();
  return fd_ >= 0;
}

bool SocketStream::send_all(const std::string &bytes) {
  size_t done = 0;
  while (fd_ >= 0 && done < bytes.size()) {
    ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd_, POLLOUT, 0};
      ::poll(&p, 1, 1000);
    } else if (n < 0 && errno != EINTR) {
      error_ = std::string("send failed: ") + std::strerror(errno);
      return false;
    }
  }
  return fd_ >= 0;
}

bool SocketStream::fill(std::chrono::steady_clock::time_point deadline) {
  if (fd_ < 0 || eof_) return false;
  size_t unread = end_ - pos_;
  if (pos_ > 0) std::memmove(buffer_.get(), buffer_.get() + pos_, unread);
  pos_ = 0;
  end_ = unread;
  if (capacity_ - end_ < kRead) {
    size_t grown = std::max(capacity_ * 2, end_ + kRead);
    std::unique_ptr<char[]> bigger(new char[grown]);
    if (end_) std::memcpy(bigger.get(), buffer_.get(), end_);
    buffer_ = std::move(bigger);
    capacity_ = grown;
  }
  for (;;) {
    // The socket does not block: what has arrived is taken at once, and
    // only an empty socket is waited on.
    ssize_t n = ::recv(fd_, buffer_.get() + end_, capacity_ - end_, 0);
    if (n > 0) {
      end_ += static_cast<size_t>(n);
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p{fd_, POLLIN, 0};
      int ready = ::poll(&p, 1, remaining_ms(deadline));
      if (ready == 0) return false;
      if (ready < 0 && errno != EINTR) return false;
      continue;
    }
    eof_ = true;  // closed, or reset: either way nothing more will come
    return false;
  }
}

void SocketStream::take(size_t n, std::string &out) {
  // assign keeps out's storage: reading many records allocates nothing.
  size_t have = end_ - pos_;
  if (n > have) n = have;
  out.assign(buffer_.get() + pos_, n);
  pos_ += n;
}

bool SocketStream::read_line(std::string &line, Timeout timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  size_t searched = 0;  // unread bytes known to hold no line feed
  for (;;) {
    size_t unread = end_ - pos_;
    const char *from = buffer_.get() + pos_;
    const void *nl = unread > searched ? std::memchr(from + searched, '\n', unread - searched) : nullptr;
    if (nl != nullptr) {
      take(static_cast<const char *>(nl) + 1 - from, line);
      return true;
    }
    searched = unread;
    if (!fill(deadline)) {
      take(std::string::npos, line);
      return false;
    }
  }
}

bool SocketStream::buffer_at_least(size_t n, Timeout timeout) {
  if (end_ - pos_ >= n) return true;
  // The clock is read only when bytes must be waited for, not per record.
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (end_ - pos_ < n)
    if (!fill(deadline)) return false;
  return true;
}

bool SocketStream::read_exact(size_t n, std::string &out, Timeout timeout) {
  bool whole = buffer_at_least(n, timeout);
  take(whole ? n : std::string::npos, out);
  return whole;
}

const char *SocketStream::read_view(size_t n, Timeout timeout) {
  if (!buffer_at_least(n, timeout)) {
    pos_ = end_;
    return nullptr;
  }
  const char *at = buffer_.get() + pos_;
  pos_ += n;
  return at;
}

void SocketStream::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  eof_ = false;
  pos_ = end_ = 0;
}

}  // namespace qorclient

#include "loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <random>
#include <thread>

namespace qtest {

namespace {
// Reserves port for this process until it ends: a lock on a file named
// after the port, which every test process takes before it hands a port
// out. A port that is free at the moment of the check can otherwise go to
// two tests running in parallel, and one test's server then finds the
// other's. The descriptor stays open (not inherited by children).
bool reserve(int port) {
  static const char dir[] = "/tmp/qorrfc-test-ports";
  static const bool made = [] {
    ::mkdir(dir, 0777);
    ::chmod(dir, 0777);  // for test processes of other users too
    return true;
  }();
  (void)made;
  std::string path = std::string(dir) + "/" + std::to_string(port);
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return true;  // no reservations possible: the bind check alone
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
  ::close(fd);
  return false;
}

sockaddr_in loopback_addr(int port, const char *address = "127.0.0.1") {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  inet_pton(AF_INET, address, &a.sin_addr);
  return a;
}
}  // namespace

// Ports are drawn below the kernel's ephemeral range (32768 and up on
// Linux), so that outgoing connections of tests running in parallel, whose
// source ports come from that range, never take a port a server is about to
// listen on.
int free_port() {
  static std::mt19937 rng(std::random_device{}() ^ static_cast<unsigned>(getpid()));
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  std::uniform_int_distribution<int> pick(20000, 32000);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    int port = pick(rng);
    if (!reserve(port)) continue;
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback_addr(port);
    bool ok = bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    ::close(fd);
    if (ok) return port;
  }
  return 0;
}

bool wait_for_port(int port, std::chrono::milliseconds timeout, const std::string &address) {
  auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    Conn c;
    if (c.connect(port, address)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

Conn::~Conn() { close(); }

Conn::Conn(Conn &&o) noexcept : fd_(o.fd_), pending_(std::move(o.pending_)) { o.fd_ = -1; }

Conn &Conn::operator=(Conn &&o) noexcept {
  if (this != &o) {
    close();
    fd_ = o.fd_;
    pending_ = std::move(o.pending_);
    o.fd_ = -1;
  }
  return *this;
}

bool Conn::connect(int port, const std::string &address) {
  close();
  fd_ = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = loopback_addr(port, address.c_str());
  if (::connect(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
    close();
    return false;
  }
  int one = 1;
  setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return true;
}

bool Conn::send(const std::string &bytes) {
  size_t off = 0;
  while (off < bytes.size()) {
    ssize_t n = ::send(fd_, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    off += static_cast<size_t>(n);
  }
  return true;
}

int Conn::read_some(char *buf, size_t n, std::chrono::steady_clock::time_point end) {
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return 0;
    pollfd p{fd_, POLLIN, 0};
    int r = poll(&p, 1, static_cast<int>(left.count()));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return 0;
    ssize_t got = ::recv(fd_, buf, n, 0);
    if (got < 0 && errno == EINTR) continue;
    return got < 0 ? -1 : static_cast<int>(got);
  }
}

std::string Conn::read_exact(size_t n, std::chrono::milliseconds timeout) {
  auto end = std::chrono::steady_clock::now() + timeout;
  std::string out = pending_.substr(0, n);
  pending_.erase(0, out.size());
  char buf[65536];
  while (out.size() < n && fd_ >= 0) {
    int got = read_some(buf, std::min(sizeof buf, n - out.size()), end);
    if (got <= 0) break;
    out.append(buf, static_cast<size_t>(got));
  }
  return out;
}

std::string Conn::read_line(std::chrono::milliseconds timeout) {
  auto end = std::chrono::steady_clock::now() + timeout;
  char buf[4096];
  for (;;) {
    auto lf = pending_.find('\n');
    if (lf != std::string::npos) {
      std::string line = pending_.substr(0, lf + 1);
      pending_.erase(0, lf + 1);
      return line;
    }
    if (fd_ < 0) break;
    int got = read_some(buf, sizeof buf, end);
    if (got <= 0) break;
    pending_.append(buf, static_cast<size_t>(got));
  }
  std::string rest;
  rest.swap(pending_);
  return rest;
}

std::string Conn::read_all(std::chrono::milliseconds timeout) {
  auto end = std::chrono::steady_clock::now() + timeout;
  std::string out;
  out.swap(pending_);
  char buf[65536];
  while (fd_ >= 0) {
    int got = read_some(buf, sizeof buf, end);
    if (got <= 0) break;
    out.append(buf, static_cast<size_t>(got));
  }
  return out;
}

bool Conn::wait_closed(std::chrono::milliseconds timeout) {
  auto end = std::chrono::steady_clock::now() + timeout;
  char buf[4096];
  while (fd_ >= 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    int r = poll(&p, 1, static_cast<int>(left.count()));
    if (r <= 0) continue;
    ssize_t got = ::recv(fd_, buf, sizeof buf, 0);
    if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) return true;
    if (got > 0) pending_.append(buf, static_cast<size_t>(got));
  }
  return true;
}

void Conn::shutdown_write() {
  if (fd_ >= 0) ::shutdown(fd_, SHUT_WR);
}

void Conn::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  pending_.clear();
}

}  // namespace qtest

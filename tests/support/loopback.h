// Raw loopback TCP for tests: free ports, waiting for a listener, and a
// blocking connection with timed reads, for sending bytes no well-behaved
// client would send and checking replies byte for byte.
#pragma once

#include <chrono>
#include <string>

namespace qtest {

// A port on 127.0.0.1 that was free a moment ago and that no other test
// process has been given while this one runs.
int free_port();

// Waits until something accepts connections on address:port (a loopback
// address).
bool wait_for_port(int port, std::chrono::milliseconds timeout = std::chrono::seconds(20),
                   const std::string &address = "127.0.0.1");

class Conn {
 public:
  Conn() = default;
  explicit Conn(int port) { connect(port); }
  ~Conn();
  Conn(Conn &&other) noexcept;
  Conn &operator=(Conn &&other) noexcept;
  Conn(const Conn &) = delete;
  Conn &operator=(const Conn &) = delete;

  bool connect(int port, const std::string &address = "127.0.0.1");
  bool is_open() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  bool send(const std::string &bytes);
  // Reads exactly n bytes; fewer when the peer closes or time runs out.
  std::string read_exact(size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Reads up to and including the next line feed.
  std::string read_line(std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Reads until the peer closes (or time runs out).
  std::string read_all(std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // True when the peer has closed (EOF) within the time.
  bool wait_closed(std::chrono::milliseconds timeout = std::chrono::seconds(10));
  void shutdown_write();
  void close();

 private:
  // One read of whatever is there, at most n bytes; "" at EOF or time-out.
  int read_some(char *buf, size_t n, std::chrono::steady_clock::time_point end);
  int fd_ = -1;
  std::string pending_;
};

}  // namespace qtest

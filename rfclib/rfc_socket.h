// One TCP connection carrying frames: gather writes of whole frames and
// checked reads of one frame at a time.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>

#include "rfc_encoder.h"
#include "rfc_wire.h"

namespace rfcw {

// A received frame; its message points into its own body, which tables
// filled from the frame may share rather than copy.
struct Frame {
  Header header;
  std::shared_ptr<char> body;
  Message msg;
};

// A partner stalling in the middle of a frame for this long counts as broken.
constexpr int kStallMs = 60000;

enum class ReadResult { Ok, Timeout, Closed, Broken, Malformed, Version };

class Socket {
 public:
  // Takes ownership of a connected descriptor; peer is "host:port".
  Socket(int fd, std::string peer);
  ~Socket();
  Socket(const Socket &) = delete;
  Socket &operator=(const Socket &) = delete;

  int fd() const { return fd_; }
  const std::string &peer() const { return peer_; }
  std::string peer_host() const;

  // Writes the whole frame; false (why set) when the connection failed.
  bool send(const Encoder &frame, std::string &why);
  // Writes bytes kept from an earlier frame (a call routed anew).
  bool send(const std::string &bytes, std::string &why);
  // Sends a frame of one kind without fields.
  bool send_empty(Kind kind, std::string &why);

  // Reads one frame. timeout_ms bounds the wait for its first byte (-1: no
  // limit); once a frame has begun, a partner stalling in it for a minute
  // counts as broken. Closed: the partner ended the connection between
  // frames. why is set for every result but Ok and Timeout.
  ReadResult read(Frame &f, int timeout_ms, std::string &why);

  // Ends both directions at once; a thread blocked in read wakes up.
  void shutdown();

 private:
  enum class Io { Ok, Timeout, Eof, Error };
  bool send_iov(std::vector<iovec> iov, std::string &why);
  Io read_exact(char *p, size_t n, int first_timeout_ms, std::string &why);

  int fd_;
  std::string peer_;
};

// Connects to host:port with TCP_NODELAY; nullptr and why on failure.
std::unique_ptr<Socket> connect_tcp(const std::string &host, int port, std::string &why);

// Tunes an accepted or connected descriptor (TCP_NODELAY, buffers).
void tune_socket(int fd);

// "host:port" of a socket's peer.
std::string peer_of(int fd);

// This machine's host name, "" when it has none.
std::string local_host_name();

}  // namespace rfcw

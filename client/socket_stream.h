// A blocking TCP connection with buffered, timed reads: the transport
// under every protocol session of the client library.
#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace qorclient {

using Timeout = std::chrono::milliseconds;

class SocketStream {
 public:
  SocketStream() = default;
  ~SocketStream();
  SocketStream(const SocketStream &) = delete;
  SocketStream &operator=(const SocketStream &) = delete;

  // Connects to host:port (a name or a numeric address); false with the
  // reason in error() when that fails.
  bool connect(const std::string &host, int port, Timeout timeout);
  bool is_open() const { return fd_ >= 0; }
  const std::string &error() const { return error_; }

  bool send_all(const std::string &bytes);
  // Reads up to and including the next line feed. False on time-out or
  // when the peer closed first; what arrived before stays in `line`.
  bool read_line(std::string &line, Timeout timeout);
  // Reads exactly n bytes; false on time-out or close (partial bytes kept).
  bool read_exact(size_t n, std::string &out, Timeout timeout);
  // Reads exactly n bytes and returns where they lie in the stream's
  // buffer, valid until the next read; nullptr on time-out or close (the
  // partial bytes are then dropped). Saves a copy per record.
  const char *read_view(size_t n, Timeout timeout);
  // True once the peer has closed and every byte it sent was read.
  bool at_eof() const { return eof_ && pos_ == end_; }
  void close();

 private:
  // Waits for and appends whatever arrives next; false on time-out,
  // error or end of stream.
  bool fill(std::chrono::steady_clock::time_point deadline);
  // Until n bytes are buffered, or false as fill.
  bool buffer_at_least(size_t n, Timeout timeout);
  // Hands out the next n buffered bytes (all when n is npos).
  void take(size_t n, std::string &out);

  int fd_ = -1;
  bool eof_ = false;
  // Bytes from pos_ to end_ are unread; consumed ones are dropped at the
  // next fill, so reading many small records does not move the rest each
  // time. Received straight into the buffer, in reads of up to kRead.
  static const size_t kRead = 256 * 1024;
  std::unique_ptr<char[]> buffer_;
  size_t capacity_ = 0, pos_ = 0, end_ = 0;
  std::string error_;
};

}  // namespace qorclient

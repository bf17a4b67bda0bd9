// One connection to the server's main port, as a client uses it: the
// handle record the server greets with, requests sent as lines (with
// continuation lines), and the replies: text lines, E-lines, and on a
// data connection fixed-width records closed by an end or error record.
#pragma once

#include <string>
#include <vector>

#include "socket_stream.h"

namespace qorclient {

// One record of a data connection: a row of the agreed width and its flag
// byte, or the all-zero record that ends the data (flag 0xFF) or reports
// an error (flag 'X').
struct Record {
  enum class Kind { kRow, kEnd, kError };
  Kind kind = Kind::kRow;
  std::string bytes;  // the row, without the flag byte
  unsigned char flag = 0;
};

class MainSession {
 public:
  static const size_t kHandleRecordSize = 130;

  explicit MainSession(Timeout timeout = std::chrono::seconds(60)) : timeout_(timeout) {}

  // Connects and reads the handle record; false with error() set.
  bool open(const std::string &host, int port);
  // The connection's handle, as other requests quote it (blanks cut).
  const std::string &handle() const { return handle_; }
  const std::string &error() const { return error_; }
  void set_timeout(Timeout timeout) { timeout_ = timeout; }

  // Sends one request. Every line feed in the text starts a continuation
  // line: the line before it goes out ending in a backslash, and the
  // server's "OK" is awaited before the next line is sent.
  bool send_request(const std::string &text);
  // The next reply line without its line feed; false on time-out or when
  // the server closed the connection first.
  bool read_line(std::string &line);
  // Every line until the server closes the connection (a failed request
  // ends it): E-lines, the empty lines after parser messages, and a last
  // line without line feed if there is one.
  std::vector<std::string> read_until_closed();
  // Reads one record of a data connection whose rows are `width` bytes.
  bool read_record(size_t width, Record &record);

  static bool is_error_line(const std::string &line) { return line.rfind("E,", 0) == 0; }

  SocketStream &stream() { return stream_; }
  void close() { stream_.close(); }

 private:
  SocketStream stream_;
  Timeout timeout_;
  std::string handle_;
  std::string error_;
};

}  // namespace qorclient

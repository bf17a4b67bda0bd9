// One connection to the server's dialog-compatibility port: the
// "HANDLE %s" greeting, command lines answered by "OK" or by lines that
// begin with ERROR (after which the server closes the connection), and on
// a data connection the records of an extraction, each followed by a flag
// byte (0xFF after data, 0x00 after a message), until the server ends the
// stream.
#pragma once

#include <string>
#include <vector>

#include "logon_options.h"
#include "socket_stream.h"

namespace qorclient {

struct CompatRecord {
  enum class Kind { kData, kMessage };
  Kind kind = Kind::kData;
  std::string bytes;  // the record without its flag byte
  unsigned char flag = 0;
};

class CompatSession {
 public:
  explicit CompatSession(Timeout timeout = std::chrono::seconds(60)) : timeout_(timeout) {}

  // Connects and reads the greeting; false with error() set.
  bool open(const std::string &host, int port);
  const std::string &handle() const { return handle_; }
  const std::string &error() const { return error_; }

  // Sends one command line (the line feed is added).
  bool send(const std::string &line);
  // Reads reply lines up to "OK": true with the lines that came before it;
  // false when the server closed the connection (or time ran out) first,
  // with every line that came.
  bool read_reply(std::vector<std::string> &lines);
  // send and read_reply; the lines are also kept as last_reply().
  bool command(const std::string &line);
  const std::vector<std::string> &last_reply() const { return last_reply_; }

  // The next record of record_length bytes and its flag; false at the end
  // of the stream (at_end()) or when it ends inside a record.
  bool read_record(size_t record_length, CompatRecord &record);
  bool at_end() const { return stream_.at_eof(); }

  SocketStream &stream() { return stream_; }
  void close() { stream_.close(); }

 private:
  SocketStream stream_;
  Timeout timeout_;
  std::string handle_;
  std::string error_;
  std::vector<std::string> last_reply_;
};

// The CPARM lines that carry a logon to the compatibility port (the
// password encoded; gwserv only when set), before CCONNECT.
std::vector<std::string> compat_logon_commands(const LogonOptions &logon);

// A selection condition as WHERETXT lines of at most 71 characters (what
// a where line keeps), cut at blanks where there are any.
std::vector<std::string> compat_where_lines(const std::string &condition);

}  // namespace qorclient

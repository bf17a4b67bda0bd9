#include "compat_session.h"

#include "password_encoder.h"

namespace qorclient {

namespace {

const size_t kWhereWidth = 71;

std::string without_line_feed(std::string line) {
  if (!line.empty() && line.back() == '\n') line.pop_back();
  return line;
}

}  // namespace

bool CompatSession::open(const std::string &host, int port) {
  handle_.clear();
  if (!stream_.connect(host, port, timeout_)) {
    error_ = stream_.error();
    return false;
  }
  std::string line;
  if (!stream_.read_line(line, timeout_) || line.rfind("HANDLE ", 0) != 0) {
    // A server with no room for the connection says so instead.
    if (line.rfind("ERROR", 0) == 0)
      error_ = without_line_feed(line);
    else
      error_ = "no handle line from " + host + ":" + std::to_string(port);
    stream_.close();
    return false;
  }
  handle_ = without_line_feed(line).substr(7);
  return true;
}

bool CompatSession::send(const std::string &line) {
  if (stream_.send_all(line + "\n")) return true;
  error_ = stream_.error();
  return false;
}

bool CompatSession::read_reply(std::vector<std::string> &lines) {
  lines.clear();
  std::string line;
  for (;;) {
    bool whole = stream_.read_line(line, timeout_);
    line = without_line_feed(line);
    if (!whole) {
      if (!line.empty()) lines.push_back(line);
      error_ = stream_.at_eof() ? "the server closed the connection" : "no reply in time";
      return false;
    }
    if (line == "OK") return true;
    lines.push_back(line);
  }
}

bool CompatSession::command(const std::string &line) {
  last_reply_.clear();
  return send(line) && read_reply(last_reply_);
}

bool CompatSession::read_record(size_t record_length, CompatRecord &record) {
  std::string raw;
  if (!stream_.read_exact(record_length + 1, raw, timeout_)) {
    error_ = raw.empty() && stream_.at_eof() ? "" : "the data ended inside a record";
    return false;
  }
  record.flag = static_cast<unsigned char>(raw.back());
  record.kind = record.flag == 0xFF ? CompatRecord::Kind::kData : CompatRecord::Kind::kMessage;
  raw.pop_back();
  record.bytes = std::move(raw);
  return true;
}

std::vector<std::string> compat_logon_commands(const LogonOptions &l) {
  std::vector<std::string> lines = {"CPARM u " + l.user,   "CPARM c " + l.client,
                                    "CPARM l " + l.lang,   "CPARM p " + encode_password(l.password),
                                    "CPARM h " + l.ashost, "CPARM s " + l.sysnr};
  if (!l.gwserv.empty()) lines.push_back("CPARM x " + l.gwserv);
  return lines;
}

std::vector<std::string> compat_where_lines(const std::string &condition) {
  // Cut at a blank, which the server's reader puts back between lines, so
  // that words and literals stay whole.
  std::vector<std::string> lines;
  std::string rest = condition;
  while (rest.size() > kWhereWidth) {
    size_t cut = rest.rfind(' ', kWhereWidth);
    if (cut == std::string::npos || cut == 0) {
      lines.push_back(rest.substr(0, kWhereWidth));
      rest.erase(0, kWhereWidth);
    } else {
      lines.push_back(rest.substr(0, cut));
      rest.erase(0, cut + 1);
    }
  }
  if (!rest.empty()) lines.push_back(rest);
  return lines;
}

}  // namespace qorclient

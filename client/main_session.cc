#include "main_session.h"

namespace qorclient {

namespace {

std::string without_line_feed(std::string line) {
  if (!line.empty() && line.back() == '\n') line.pop_back();
  return line;
}

}  // namespace

bool MainSession::open(const std::string &host, int port) {
  handle_.clear();
  if (!stream_.connect(host, port, timeout_)) {
    error_ = stream_.error();
    return false;
  }
  std::string record;
  if (!stream_.read_exact(kHandleRecordSize, record, timeout_) || record.back() != '\n') {
    // A server with no room for the connection says so instead.
    if (is_error_line(record))
      error_ = without_line_feed(record.substr(0, record.find('\n') + 1)).substr(2);
    else
      error_ = "no handle record from " + host + ":" + std::to_string(port);
    stream_.close();
    return false;
  }
  size_t end = record.find_last_not_of(" \n");
  handle_ = end == std::string::npos ? "" : record.substr(0, end + 1);
  return true;
}

bool MainSession::send_request(const std::string &text) {
  size_t start = 0, nl;
  while ((nl = text.find('\n', start)) != std::string::npos) {
    if (!stream_.send_all(text.substr(start, nl - start) + "\\\n")) {
      error_ = stream_.error();
      return false;
    }
    std::string ok;
    if (!read_line(ok) || ok != "OK") {
      error_ = "continuation line not acknowledged" + (ok.empty() ? "" : ": " + ok);
      return false;
    }
    start = nl + 1;
  }
  if (!stream_.send_all(text.substr(start) + "\n")) {
    error_ = stream_.error();
    return false;
  }
  return true;
}

bool MainSession::read_line(std::string &line) {
  bool whole = stream_.read_line(line, timeout_);
  line = without_line_feed(line);
  return whole;
}

std::vector<std::string> MainSession::read_until_closed() {
  std::vector<std::string> lines;
  std::string line;
  while (!stream_.at_eof()) {
    bool whole = read_line(line);
    if (whole || !line.empty()) lines.push_back(line);
    if (!whole) break;
  }
  return lines;
}

bool MainSession::read_record(size_t width, Record &record) {
  const char *raw = stream_.read_view(width + 1, timeout_);
  if (raw == nullptr) {
    error_ = "data connection ended inside a record";
    return false;
  }
  record.flag = static_cast<unsigned char>(raw[width]);
  record.bytes.assign(raw, width);
  record.kind = Record::Kind::kRow;
  // Only an all-zero record with one of these flags is an end or an error
  // record; a row's flag is neither, so its bytes need no scan.
  if (record.flag != 0xFF && record.flag != 'X') return true;
  bool zero = record.bytes.find_first_not_of('\0') == std::string::npos;
  if (zero && record.flag == 0xFF) record.kind = Record::Kind::kEnd;
  if (zero && record.flag == 'X') record.kind = Record::Kind::kError;
  return true;
}

}  // namespace qorclient

#include "select_session.h"

#include <stdexcept>

#include "logon_reply.h"
#include "select_request.h"

namespace qorclient {

bool SelectSession::fail(const std::string &why) {
  error_ = why;
  return false;
}

void SelectSession::collect_errors(MainSession &session) {
  for (const auto &line : session.read_until_closed())
    if (!line.empty()) errors_.push_back(line);
}

bool SelectSession::log_on(const LogonOptions &logon) {
  host_ = logon.server_host;
  port_ = logon.server_port;
  LogonReply reply = LogonReply::log_on(logon_, logon);
  system_info_ = reply.system_info;
  errors_ = reply.errors;
  return reply.error.empty() ? reply.ok() : fail(reply.error);
}

bool SelectSession::run(const std::string &select_xml, bool batch, const LayoutSink &layout,
                        const RowSink &row) {
  if (!data_.open(host_, port_)) return fail(data_.error());
  if (!request_.open(host_, port_)) return fail(request_.error());
  std::string request;
  try {
    request = complete_select(select_xml, logon_.handle(), data_.handle(), batch);
  } catch (const std::invalid_argument &e) {
    return fail(e.what());
  }
  if (!request_.send_request(request)) return fail(request_.error());

  // Metadata lines come first; "OK" announces the rows.
  std::vector<FieldLayout> fields;
  std::string line;
  for (;;) {
    bool whole = request_.read_line(line);
    if (!whole) {
      if (!line.empty()) errors_.push_back(line);
      return errors_.empty() ? fail("the server ended the request without rows or a reason")
                             : false;
    }
    if (line == "OK") break;
    if (MainSession::is_error_line(line)) {
      errors_.push_back(line);
      collect_errors(request_);
      return false;
    }
    FieldLayout field;
    if (FieldLayout::parse(line, field)) fields.push_back(field);
  }
  if (fields.empty()) {
    // R/3 refused the select before any row (an unknown table, a bad
    // condition): its reason follows the "OK".
    collect_errors(request_);
    return errors_.empty() ? fail("no metadata lines before the rows") : false;
  }
  size_t width = record_width(fields);
  layout(fields, width);
  bool complete = read_records(width, row);
  // After the rows the request connection only closes, or brings the
  // reason why the rows ended early.
  collect_errors(request_);
  return complete && errors_.empty();
}

bool SelectSession::read_records(size_t width, const RowSink &row) {
  Record record;
  for (;;) {
    if (!data_.read_record(width, record)) return fail(data_.error());
    switch (record.kind) {
      case Record::Kind::kRow:
        if (record.flag != 0) return fail("a record of the wrong width or flag arrived");
        ++rows_;
        row(record.bytes.data());
        break;
      case Record::Kind::kEnd:
        if (!data_.stream().at_eof()) {
          std::string extra;
          if (data_.stream().read_exact(1, extra, std::chrono::seconds(5)))
            return fail("bytes after the end record");
        }
        return true;
      case Record::Kind::kError:
        return false;
    }
  }
}

}  // namespace qorclient

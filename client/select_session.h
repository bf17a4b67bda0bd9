// One extraction through the main port, as a client runs it: a logon
// connection that sends the connect request and stays open, a data
// connection that receives the records, and a request connection that
// carries the select and receives the metadata lines, "OK" and E-lines.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "field_layout.h"
#include "logon_options.h"
#include "main_session.h"

namespace qorclient {

class SelectSession {
 public:
  // Called once the metadata lines are in and before the first row.
  using LayoutSink = std::function<void(const std::vector<FieldLayout> &, size_t width)>;
  // Called for each row record (width bytes).
  using RowSink = std::function<void(const char *row)>;

  explicit SelectSession(Timeout timeout) : logon_(timeout), data_(timeout), request_(timeout) {}

  // Logs on; false with the server's lines in errors() (or error()).
  bool log_on(const LogonOptions &logon);
  // Sends the select (built by complete_select from the user's element)
  // and delivers the rows. False when the server reported an error (its
  // E-lines in errors(), also those after rows flowed) or the protocol
  // broke (error()).
  bool run(const std::string &select_xml, bool batch, const LayoutSink &layout,
           const RowSink &row);

  const std::vector<std::string> &errors() const { return errors_; }
  const std::string &error() const { return error_; }
  const std::string &system_info() const { return system_info_; }
  unsigned long long rows() const { return rows_; }

 private:
  bool fail(const std::string &why);
  // Every line of a connection the server is ending; E-lines go to errors_.
  void collect_errors(MainSession &session);
  bool read_records(size_t width, const RowSink &row);

  MainSession logon_, data_, request_;
  std::string host_;
  int port_ = 0;
  std::vector<std::string> errors_;
  std::string error_;
  std::string system_info_;
  unsigned long long rows_ = 0;
};

}  // namespace qorclient

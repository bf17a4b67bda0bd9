#include "compat_command.h"

#include <cstdio>
#include <stdexcept>

#include "compat_session.h"
#include "password_encoder.h"
#include "server_report.h"

namespace qorclient {

namespace {

bool has_error(const std::vector<std::string> &lines) {
  for (const auto &l : lines)
    if (l.rfind("ERROR", 0) == 0) return true;
  return false;
}

// The three connections of one extraction.
class Extraction {
 public:
  Extraction(const QorcliCommandLine &cl)
      : cl_(cl), logon_(timeout()), data_(timeout()), request_(timeout()) {}

  int run() {
    const LogonOptions &l = cl_.logon;
    if (!open(logon_)) return kNoConnection;
    context_ = "the logon failed";
    for (const auto &c : compat_logon_commands(l))
      if (!step(logon_, c)) return kServerError;
    if (!step(logon_, "CCONNECT")) return kServerError;
    // Error lines before the "OK" still mean there is no logon.
    if (has_error(logon_.last_reply())) {
      print_lines(logon_.last_reply());
      return kServerError;
    }
    context_ = "the extraction failed";
    int status = extract();
    release_logon();
    return status;
  }

 private:
  Timeout timeout() const { return std::chrono::seconds(cl_.timeout_seconds); }

  void print_lines(const std::vector<std::string> &lines) const {
    ServerReport::print(lines, context_, cl_.verbose);
  }

  bool open(CompatSession &s) {
    if (s.open(cl_.logon.server_host, cl_.logon.server_port)) return true;
    std::fprintf(stderr, "qorcli: %s\n", s.error().c_str());
    return false;
  }

  bool step(CompatSession &s, const std::string &command) {
    if (s.command(command)) return true;
    print_lines(s.last_reply());
    if (s.last_reply().empty()) std::fprintf(stderr, "qorcli: %s\n", s.error().c_str());
    return false;
  }

  int extract() {
    if (!open(data_) || !open(request_)) return kNoConnection;
    std::vector<std::string> commands = {"CHANDLE " + logon_.handle(), "DHANDLE " + data_.handle(),
                                         "TABLE " + cl_.select.table,
                                         "LENGTH " + std::to_string(cl_.length), "WHERESTART"};
    for (const auto &w : compat_where_lines(cl_.select.where)) commands.push_back("WHERETXT " + w);
    commands.push_back("WHEREEND");
    for (const auto &c : commands)
      if (!step(request_, c)) return kServerError;
    std::vector<std::string> lines;
    if (!request_.send("DCONNECT")) return kNoConnection;
    bool ok = request_.read_reply(lines);
    // Lines before the first "OK" mean R/3 ended before any data: that
    // reply is the whole answer.
    if (!ok || !lines.empty()) {
      print_lines(lines);
      return ok && !has_error(lines) ? kDone : kServerError;
    }
    bool messages = copy_records();
    ok = request_.read_reply(lines);
    print_lines(lines);
    return ok && !messages && !has_error(lines) ? kDone : kServerError;
  }

  // Data records to standard output, message records to standard error;
  // true when there was a message.
  bool copy_records() {
    bool messages = false;
    CompatRecord r;
    size_t width = static_cast<size_t>(cl_.length);
    while (data_.read_record(width, r)) {
      // The batch port flags every row with 0x01 and sends no messages.
      bool row = cl_.select.batch ? r.flag == 0x01 : r.kind == CompatRecord::Kind::kData;
      if (row) {
        std::fwrite(r.bytes.data(), 1, r.bytes.size(), stdout);
        std::fputc('\n', stdout);
      } else {
        messages = true;
        size_t end = r.bytes.find_last_not_of(' ');
        std::fprintf(stderr, "%s\n", r.bytes.substr(0, end == std::string::npos ? 0 : end + 1).c_str());
      }
    }
    if (!data_.error().empty()) std::fprintf(stderr, "qorcli: %s\n", data_.error().c_str());
    return messages || !data_.error().empty();
  }

  // The server keeps a logon connection until another one releases it.
  void release_logon() {
    CompatSession *s = &request_;
    CompatSession fresh(timeout());
    if (!request_.stream().is_open() || request_.at_end()) {
      if (!fresh.open(cl_.logon.server_host, cl_.logon.server_port)) return;
      s = &fresh;
    }
    if (!s->command("DISCONNECT " + logon_.handle())) print_lines(s->last_reply());
  }

  const QorcliCommandLine &cl_;
  CompatSession logon_, data_, request_;
  std::string context_;  // what a reported failure stopped
};

}  // namespace

int compat_command(const QorcliCommandLine &cl) {
  if (cl.logon.server_host.empty() || cl.select.table.empty() || cl.length <= 0) {
    return QorcliCommandLine::usage_error("compat needs --server HOST:PORT, --table and --length");
  }
  try {
    encode_password(cl.logon.password);
  } catch (const std::invalid_argument &e) {
    std::fprintf(stderr, "qorcli: %s\n", e.what());
    return kUsage;
  }
  return Extraction(cl).run();
}

}  // namespace qorclient

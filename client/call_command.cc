#include "call_command.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <set>
#include <stdexcept>

#include "function_call.h"
#include "logon_reply.h"
#include "main_session.h"
#include "server_report.h"

namespace qorclient {

namespace {

// "NAME", "NAME:LEN" (then len is set) and, with suffix allowed,
// "NAME:LEN:B"; throws std::invalid_argument.
std::string name_and_length(const std::string &text, size_t *len, bool *binary = nullptr) {
  size_t colon = text.find(':');
  std::string name = text.substr(0, colon);
  if (name.empty()) throw std::invalid_argument("a name is missing in " + text);
  if (colon == std::string::npos) return name;
  std::string rest = text.substr(colon + 1);
  size_t second = rest.find(':');
  if (second != std::string::npos) {
    if (binary == nullptr || rest.substr(second + 1) != "B")
      throw std::invalid_argument("unknown suffix in " + text);
    *binary = true;
    rest.resize(second);
  }
  char *end = nullptr;
  long n = std::strtol(rest.c_str(), &end, 10);
  if (rest.empty() || *end != '\0' || n < 1 || n > 65535)
    throw std::invalid_argument("a length of 1 to 65535 is wanted in " + text);
  *len = static_cast<size_t>(n);
  return name;
}

// NAME[:LEN]=VALUE into its two sides.
std::pair<std::string, std::string> assignment(const std::string &text) {
  size_t eq = text.find('=');
  if (eq == std::string::npos) throw std::invalid_argument("NAME=VALUE is wanted, not " + text);
  return {text.substr(0, eq), text.substr(eq + 1)};
}

FunctionCall call_of(const QorcliCommandLine &cl) {
  FunctionCall call;
  call.name = cl.arguments[0];
  for (const std::string &p : cl.params) {
    auto a = assignment(p);
    FunctionParameter param;
    param.intlen = a.second.size();
    param.name = name_and_length(a.first, &param.intlen);
    param.value = a.second;
    if (param.intlen == 0) param.intlen = 1;
    call.parameters.push_back(param);
  }
  for (const std::string &p : cl.imports) {
    FunctionParameter param;
    param.importing = true;
    param.name = name_and_length(p, &param.intlen, &param.binary);
    if (param.intlen == 0) throw std::invalid_argument("--import needs NAME:LEN, not " + p);
    call.parameters.push_back(param);
  }
  for (const std::string &t : cl.tables) {
    auto a = assignment(t);
    FunctionTable table;
    table.name = name_and_length(a.first, &table.intlen);
    std::ifstream in(a.second, std::ios::binary);
    if (!in) throw std::invalid_argument("cannot read " + a.second);
    size_t longest = 1;
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      longest = std::max(longest, line.size());
      table.rows.push_back(line);
    }
    if (table.intlen == 0) table.intlen = longest;
    call.tables.push_back(table);
  }
  for (const std::string &r : cl.results) {
    FunctionTable table;
    table.name = name_and_length(r, &table.intlen);
    if (table.intlen == 0) throw std::invalid_argument("--result needs NAME:LEN, not " + r);
    call.tables.push_back(table);
  }
  return call;
}

std::string printable(const std::string &bytes, bool binary) {
  if (binary) {
    std::string hex;
    char two[3];
    for (unsigned char c : bytes) {
      std::snprintf(two, sizeof two, "%02X", c);
      hex += two;
    }
    return hex;
  }
  std::string text = bytes;
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

// Logs on; the logon connection, or null after the message (status set).
std::unique_ptr<MainSession> log_on(const QorcliCommandLine &cl, int &status) {
  auto logon = std::make_unique<MainSession>(std::chrono::seconds(cl.timeout_seconds));
  LogonReply reply = LogonReply::log_on(*logon, cl.logon);
  if (reply.ok()) return logon;
  if (!reply.error.empty()) {
    ServerReport::print_failure(reply.error);
    status = kNoConnection;
  } else {
    ServerReport::print(reply.errors, "the logon failed", cl.verbose);
    status = kServerError;
  }
  return nullptr;
}

}  // namespace

int call_command(const QorcliCommandLine &cl) {
  if (cl.logon.server_host.empty()) return QorcliCommandLine::usage_error("call needs --server HOST:PORT");
  if (cl.arguments.size() != 1) return QorcliCommandLine::usage_error("call needs one function module name");
  FunctionCall call;
  try {
    call = call_of(cl);
    connect_element(cl.logon);
  } catch (const std::invalid_argument &e) {
    return QorcliCommandLine::usage_error(e.what());
  }
  int status = kDone;
  std::unique_ptr<MainSession> logon = log_on(cl, status);
  if (!logon) return status;
  MainSession data(std::chrono::seconds(cl.timeout_seconds)), request(std::chrono::seconds(cl.timeout_seconds));
  if (!data.open(cl.logon.server_host, cl.logon.server_port) ||
      !request.open(cl.logon.server_host, cl.logon.server_port) ||
      !request.send_request(call.element(logon->handle(), data.handle()))) {
    std::fprintf(stderr, "qorcli: %s\n", (data.error() + request.error()).c_str());
    return kNoConnection;
  }
  FunctionReply reply = read_function_reply(request, data, call.widths());
  std::set<std::string> binary;
  for (const auto &p : call.parameters)
    if (p.binary) binary.insert(p.name);
  std::set<std::string> parameters;
  for (const auto &p : call.parameters) parameters.insert(p.name);
  std::vector<std::string> errors;
  for (const auto &l : reply.lines) {
    if (MainSession::is_error_line(l))
      errors.push_back(l);
    else
      std::printf("%s\n", l.c_str());
  }
  ServerReport::print(errors, "the call failed", cl.verbose);
  for (const auto &d : reply.data) {
    bool bytes = binary.count(d.first) != 0;
    if (parameters.count(d.first) && d.second.size() == 1) {
      std::printf("%s=%s\n", d.first.c_str(), printable(d.second[0], bytes).c_str());
      continue;
    }
    std::printf("%s: %zu rows\n", d.first.c_str(), d.second.size());
    for (const auto &row : d.second) std::printf("%s\n", printable(row, false).c_str());
  }
  if (!reply.error.empty()) std::fprintf(stderr, "qorcli: %s\n", reply.error.c_str());
  return reply.failed() || !reply.error.empty() ? kServerError : kDone;
}

}  // namespace qorclient

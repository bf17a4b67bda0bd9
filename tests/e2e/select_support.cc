#include "select_support.h"

#include <dirent.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "dictionary.h"
#include "logon_options.h"
#include "row_builder.h"
#include "saprfc.h"

namespace e2e {

using qorclient::MainSession;
using qorclient::Record;

SelectClient::SelectClient(E2eSystem &sys) : sys_(sys) {
  logon_ = sys_.open();
  EXPECT_TRUE(logon_->send_request(qorclient::connect_element(sys_.logon())));
  std::string line;
  EXPECT_TRUE(logon_->read_line(line));
  EXPECT_FALSE(MainSession::is_error_line(line)) << line;
  data_ = sys_.open();
}

std::string SelectClient::handles() const {
  return "chandle=\"" + chandle() + "\" dhandle=\"" + dhandle() + "\"";
}

std::unique_ptr<MainSession> SelectClient::send(const std::string &element) {
  auto request = sys_.open();
  EXPECT_TRUE(request->send_request(element)) << request->error();
  return request;
}

SelectResult SelectClient::run(const std::string &element, size_t width) {
  SelectResult result;
  auto request = send(element);
  // The request connection may close before the last record is read.
  if (width > 0) {
    Record record;
    while (data_->read_record(width, record) && record.kind == Record::Kind::kRow)
      result.rows.push_back(record.bytes);
    result.last = record;
    std::string more;
    result.data_closed = !data_->stream().read_exact(1, more, std::chrono::seconds(10)) &&
                         data_->stream().at_eof();
  }
  result.lines = request->read_until_closed();
  data_ = sys_.open();
  return result;
}

std::vector<r3sim::AbapField> dictionary_fields(E2eSystem &sys, const std::string &table,
                                                const std::vector<std::string> &names) {
  auto def = r3sim::Dictionary::find(sys.r3sim().db(), table);
  if (!def) ADD_FAILURE() << "no table " << table;
  if (!def || names.empty()) return def ? def->fields : std::vector<r3sim::AbapField>();
  std::vector<r3sim::AbapField> picked;
  for (const auto &name : names) {
    const r3sim::AbapField *f = def->field(name);
    if (f) picked.push_back(*f);
    if (!f) ADD_FAILURE() << "no field " << table << "-" << name;
  }
  return picked;
}

std::vector<std::string> direct_rows(E2eSystem &sys, const std::string &sql,
                                     const std::vector<r3sim::AbapField> &fields) {
  r3sim::RowLayout layout(fields);
  r3sim::Stmt s = sys.r3sim().db().prepare(sql);
  std::vector<std::string> rows;
  while (s.step()) {
    std::vector<r3sim::Value> values;
    for (int c = 0; c < s.columns(); ++c) values.push_back(s.value(c));
    std::string row(layout.width(), '\0');
    r3sim::RowBuilder::build_row(layout, values, &row[0]);
    rows.push_back(row);
  }
  return rows;
}

namespace {
// DETAIL of the call-log rows of kind and function after `after`.
std::vector<std::string> details(E2eSystem &sys, int64_t after, const std::string &prefix) {
  std::vector<std::string> out;
  for (const std::string &row : starting_with(sys.calls(after), prefix + "|")) {
    std::string rest = row.substr(prefix.size() + 1);
    out.push_back(rest.substr(0, rest.rfind('|')));
  }
  return out;
}

std::vector<std::string> detail_lines(E2eSystem &sys, int64_t after) {
  std::vector<std::string> all = details(sys, after, "CALLBACK Z_QOR_GET_REQUEST_PARAMETERS");
  if (all.size() != 1) ADD_FAILURE() << all.size() << " request-parameter callbacks";
  std::vector<std::string> lines;
  std::istringstream in(all.empty() ? "" : all.front());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}
}  // namespace

std::vector<std::string> logged_sql(E2eSystem &sys, int64_t after) {
  std::vector<std::string> out;
  for (const std::string &d : details(sys, after, "SQL /QOR/Z_QOR_DIALOG"))
    out.push_back(d.rfind("SQL=", 0) == 0 ? d.substr(4) : d);
  return out;
}

std::vector<std::string> received_lines(E2eSystem &sys, int64_t after, const std::string &kind) {
  std::vector<std::string> out;
  for (const std::string &line : starting_with(detail_lines(sys, after), kind + "="))
    out.push_back(line.substr(kind.size() + 1));
  return out;
}

std::string received_value(E2eSystem &sys, int64_t after, const std::string &name) {
  std::vector<std::string> lines = received_lines(sys, after, name);
  return lines.empty() ? std::string() : lines.front();
}

void add_fault(E2eSystem &sys, const std::string &fault, const std::string &arg, int64_t nth) {
  r3sim::Stmt s = sys.r3sim().db().prepare(
      "INSERT INTO ZSIM_FAULTS (FUNCNAME, FAULT, ARG, NTH, TIMES) "
      "VALUES ('/QOR/Z_QOR_DIALOG', ?, ?, ?, 1)");
  s.bind(1, fault).bind(2, arg).bind(3, nth).step();
}

// Registrations under the program id at r3sim's gateway, as any program
// registered there would ask.
int registrations(E2eSystem &sys, const std::string &id) {
  std::string progid = id, host = "127.0.0.1", serv = std::to_string(sys.r3sim().port());
  RFC_INT total = -1, init = 0, ready = 0, busy = 0;
  RFC_ERROR_INFO_EX error{};
  if (RfcCheckRegisterServer(&progid[0], &host[0], &serv[0], &total, &init, &ready, &busy,
                             &error) != RFC_OK)
    ADD_FAILURE() << "RfcCheckRegisterServer: " << error.message;
  return total;
}

// "STATUS|log line|log line..." of every extraction job, oldest first.
std::vector<std::string> extraction_jobs(E2eSystem &sys) {
  r3sim::Stmt s = sys.r3sim().db().prepare(
      "SELECT J.STATUS || '|' || IFNULL((SELECT GROUP_CONCAT(TEXT, '|') FROM "
      "(SELECT TEXT FROM TBTCJOBLOG L WHERE L.JOBCOUNT = J.JOBCOUNT ORDER BY LINENO)), '') "
      "FROM TBTCO J WHERE REPORT = '/QOR/Z_QOR_READ' ORDER BY JOBCOUNT");
  std::vector<std::string> out;
  while (s.step()) out.push_back(s.text(0));
  return out;
}

int open_fds(pid_t pid) {
  DIR *d = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
  if (!d) return -1;
  int n = 0;
  while (dirent *e = readdir(d))
    if (e->d_name[0] != '.') ++n;
  closedir(d);
  return n;
}

int threads(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
  return -1;
}

ServerSetup threads_end_with_connections(ServerSetup setup) {
  setup.env["QORRFC_IDLE_THREAD_SECONDS"] = "0";
  return setup;
}

int settled(const std::function<int()> &count) {
  int last = count(), same = 0;
  for (int i = 0; i < 750 && same < 10; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    int now = count();
    same = now == last ? same + 1 : 0;
    last = now;
  }
  return last;
}

bool ends_within(qorclient::SocketStream &stream, std::chrono::milliseconds limit) {
  std::string rest;
  stream.read_exact(std::string::npos / 2, rest, limit);
  return stream.at_eof();
}

}  // namespace e2e

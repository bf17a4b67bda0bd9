#include "qor_compat.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>

#include "call_log.h"
#include "compat_records.h"
#include "dictionary.h"
#include "fault_table.h"
#include "qor_compat_stream.h"
#include "system_config.h"
#include "table_query.h"
#include "sapitab.h"

namespace r3sim {

namespace {

constexpr unsigned kLine = 72;
constexpr unsigned kMessage = 256;
constexpr size_t kDefaultChunk = 64 * 1024;

std::string upper(std::string s) {
  for (auto &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// NAME=value lines of Z_QOR_PTAB; a later line wins.
std::map<std::string, std::string> read_parameters(ITAB_H ptab) {
  std::map<std::string, std::string> p;
  unsigned n = ItLeng(ptab) == kLine ? ItFill(ptab) : 0;
  for (unsigned i = 1; i <= n; ++i) {
    std::string line = trimmed(static_cast<const char *>(ItGetLine(ptab, i)), kLine);
    size_t eq = line.find('=');
    if (eq != std::string::npos) p[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return p;
}

// Whether password is USER's in CLIENT; the password itself is never logged.
std::string password_check(Call &call, const std::string &client, const std::string &user,
                           const std::string &password) {
  Stmt s = call.db().prepare("SELECT PASSWORD FROM USR02 WHERE MANDT = ? AND BNAME = ?");
  s.bind(1, client.empty() ? std::string(call.session().logon.client) : client)
      .bind(2, upper(user.empty() ? std::string(call.session().logon.user) : user));
  return s.step() && s.text(0) == password ? "OK" : "WRONG";
}

// Calls CALLER_P or CALLER_C with P1; the call-log row is written first.
bool notify(Call &call, const char *function, int64_t value) {
  char p1[9];
  std::snprintf(p1, sizeof p1, "%08lld", static_cast<long long>(value));
  int64_t row = CallLog::record(call.db(), call.session().number, "CALLBACK", function,
                                {{"P1", p1}}, "CALLED");
  ParamList exporting, importing;
  exporting.add("P1", p1, 8);
  std::string exception;
  RFC_RC rc = call.call_back(function, exporting, importing, nullptr, &exception);
  if (rc == RFC_OK) return true;
  CallLog::set_result(call.db(), row,
                      rc == RFC_EXCEPTION ? "exception " + exception : "code " + std::to_string(rc));
  return false;
}

struct Extraction {
  Call &call;
  ITAB_H messages;
  void message(const std::string &text) {
    auto *row = static_cast<char *>(ItAppLine(messages));
    if (row) put_text(row, kMessage, text);
  }
  // Streams the rows; the outcome for the call log.
  std::string run(const TableDef &def, const std::string &where, size_t record_length);
};

std::string Extraction::run(const TableDef &def, const std::string &where,
                            size_t record_length) {
  const std::string &fn = call.function();
  std::unique_ptr<CompatRecords> records;
  try {
    records = std::make_unique<CompatRecords>(call.db(), def, where, record_length);
  } catch (const OpenSqlError &e) {
    message("Invalid selection condition: " + std::string(e.what()));
    return "invalid condition";
  } catch (const DbError &e) {
    message("Invalid selection condition: " + std::string(e.what()));
    return "invalid condition";
  }
  if (!notify(call, "CALLER_P", static_cast<int64_t>(record_length))) return "CALLER_P failed";
  int64_t chunk = std::stoll(SystemConfig::get(call.db(), "COMPAT_CHUNK_BYTES", "0"));
  auto slow = FaultTable::take(call.db(), fn, "SLOW_CHUNK");
  CompatStream stream(call, chunk > 0 ? static_cast<size_t>(chunk) : kDefaultChunk,
                      slow ? slow->nth : 0);
  int64_t count = records->run(
      [&](const char *record) { return stream.add(record, record_length); });
  if (!stream.finish()) {
    CallLog::record(call.db(), call.session().number, "CALLBACK", "CALLER_D", {},
                    stream.failure());
    message("Extraction cancelled: CALLER_D " + stream.failure());
    return "CALLER_D " + stream.failure();
  }
  if (auto f = FaultTable::take(call.db(), fn, "NO_COMPLETION"))
    return "OK " + std::to_string(count) + " records, no completion";
  if (!notify(call, "CALLER_C", count)) return "CALLER_C failed";
  return "OK " + std::to_string(count) + " records";
}

}  // namespace

void compat_read_table(Call &call) {
  TableList tables;
  ITAB_H ptab = tables.add("Z_QOR_PTAB", kLine);
  ITAB_H wtab = tables.add("Z_QOR_WTAB", kLine);
  ITAB_H ltab = tables.add("Z_QOR_LTAB", kMessage);
  ParamList none;
  if (call.get(none, &tables) != RFC_OK) return;
  auto p = read_parameters(ptab);
  std::string where = condition_from_lines(wtab, kLine);
  NamedValues received;
  for (const char *name :
       {"TABLE_NAME", "RECORD_LENGTH", "FORM", "USER", "CLIENT", "LANGUAGE", "DESTINATION"})
    if (p.count(name)) received.emplace_back(name, p[name]);
  if (p.count("PASSWORD"))
    received.emplace_back("PASSWORD", password_check(call, p["CLIENT"], p["USER"], p["PASSWORD"]));
  if (where.find_first_not_of(' ') != std::string::npos) received.emplace_back("WHERE", where);
  int64_t row = CallLog::record(call.db(), call.session().number, "CALL", call.function(),
                                received, "CALLED");

  Extraction x{call, ltab};
  std::string outcome;
  std::optional<TableDef> def;
  std::string refusal = CompatRecords::refusal(call.db(), p["TABLE_NAME"], p["RECORD_LENGTH"],
                                               p.count("FORM") ? &p["FORM"] : nullptr, def);
  if (!refusal.empty())
    x.message(refusal);
  else
    outcome = x.run(*def, where, std::strtoul(p["RECORD_LENGTH"].c_str(), nullptr, 10));
  if (auto f = FaultTable::take(call.db(), call.function(), "MESSAGE")) x.message(f->arg);
  if (outcome.empty()) outcome = "refused";
  CallLog::set_result(call.db(), row, outcome);
  call.send(none, &tables);
}

}  // namespace r3sim

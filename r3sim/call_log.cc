#include "call_log.h"

#include <memory>

#include "table_spec.h"

namespace r3sim {

namespace {

const TableSpec kCalls{"ZSIM_CALLS", "TRANSP", "Calls received by the simulator", {
    {"SEQNO", 'I', 4, 0, true, "Sequence number"},
    {"SESSIONNO", 'I', 4, 0, false, "SEQNO of the session's logon"},
    {"KIND", 'C', 8, 0, false, "LOGON, CALL or CALLBACK"},
    {"FUNCNAME", 'C', 40, 0, false, "Function module or callback"},
    {"DETAIL", 'C', 1000, 0, false, "Values received, NAME=value lines"},
    {"RESULT", 'C', 200, 0, false, "Outcome"}}};

// The log is written on a connection of its own per thread: a session
// often logs while one of its statements is still being read (a chunk sent
// in mid select), and a write inside that read would fail at once whenever
// another session has committed since the read began.
SqliteDb &log_db(SqliteDb &db) {
  static thread_local std::unique_ptr<SqliteDb> own;
  if (!own || own->path() != db.path()) own.reset(new SqliteDb(db.path(), false));
  return *own;
}

}  // namespace

void CallLog::ensure(SqliteDb &db) {
  if (!db.table_exists(kCalls.name)) define_table(db, kCalls);
}

std::string CallLog::detail(const NamedValues &values) {
  std::string out;
  for (const auto &nv : values) {
    if (!out.empty()) out += '\n';
    out += nv.first + "=" + nv.second;
  }
  return out;
}

int64_t CallLog::record(SqliteDb &db, int64_t session, const std::string &kind,
                        const std::string &function, const NamedValues &values,
                        const std::string &result) {
  // SEQNO is the rowid, so concurrent sessions never draw the same number.
  SqliteDb &out = log_db(db);
  Stmt s = out.prepare(
      "INSERT INTO ZSIM_CALLS (SESSIONNO, KIND, FUNCNAME, DETAIL, RESULT) "
      "VALUES (?, ?, ?, ?, ?)");
  s.bind(1, session).bind(2, kind).bind(3, function).bind(4, detail(values)).bind(5, result);
  s.step();
  return sqlite3_last_insert_rowid(out.raw());
}

void CallLog::set_result(SqliteDb &db, int64_t seqno, const std::string &result) {
  Stmt s = log_db(db).prepare("UPDATE ZSIM_CALLS SET RESULT = ? WHERE SEQNO = ?");
  s.bind(1, result).bind(2, seqno).step();
}

}  // namespace r3sim

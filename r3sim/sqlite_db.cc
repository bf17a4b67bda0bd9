#include "sqlite_db.h"

#include <cctype>
#include <mutex>

namespace r3sim {

SqliteDb::SqliteDb(const std::string &path, bool create) : path_(path) {
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
  if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    std::string msg = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw DbError("cannot open " + path + ": " + msg);
  }
  // Tests and other sessions write at the same time; wait for their locks.
  sqlite3_busy_timeout(db_, 10000);
  sqlite3_extended_result_codes(db_, 1);
  // ABAP's LIKE tells upper from lower case.
  sqlite3_exec(db_, "PRAGMA case_sensitive_like = ON", nullptr, nullptr, nullptr);
  // A simulator's data need not survive a power cut; in WAL mode this spares
  // an fsync at every commit (the call log writes one row per call).
  sqlite3_exec(db_, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
}

SqliteDb::~SqliteDb() { sqlite3_close_v2(db_); }

void SqliteDb::exec(const std::string &sql) {
  char *err = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    std::string msg = err ? err : sqlite3_errmsg(db_);
    sqlite3_free(err);
    throw DbError(msg);
  }
}

Stmt SqliteDb::prepare(const std::string &sql) {
  sqlite3_stmt *stmt = nullptr;
  const char *tail = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt, &tail) !=
      SQLITE_OK)
    throw DbError(sqlite3_errmsg(db_));
  Stmt result(db_, stmt);
  for (; tail && *tail; ++tail)
    if (!std::isspace(static_cast<unsigned char>(*tail)))
      throw DbError("more than one statement");
  if (!stmt) throw DbError("empty statement");
  return result;
}

bool SqliteDb::table_exists(const std::string &name) {
  Stmt s = prepare("SELECT 1 FROM sqlite_master WHERE type IN ('table','view') AND name = ?");
  s.bind(1, name);
  return s.step();
}

Stmt &Stmt::bind(int index, const Value &v) {
  switch (v.kind) {
    case Value::Kind::kNull: sqlite3_bind_null(stmt_, index); break;
    case Value::Kind::kInt: sqlite3_bind_int64(stmt_, index, v.i); break;
    case Value::Kind::kReal: sqlite3_bind_double(stmt_, index, v.r); break;
    case Value::Kind::kText:
      sqlite3_bind_text(stmt_, index, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT);
      break;
    case Value::Kind::kBlob:
      sqlite3_bind_blob(stmt_, index, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT);
      break;
  }
  return *this;
}

Stmt &Stmt::bind(int index, const std::string &text) { return bind(index, Value::text(text)); }
Stmt &Stmt::bind(int index, int64_t v) { return bind(index, Value::integer(v)); }

namespace {
// The writers of this process take turns here before they ask SQLite.
// SQLite lets a waiting writer poll with sleeps that grow to a tenth of a
// second: with a thousand sessions logging their calls at once, some of
// them waited past the busy timeout and failed their logon. A queue in
// the process hands the write lock on at once. Every write here is one
// statement outside any transaction, so no thread holds SQLite's lock
// while it waits for this one.
std::mutex g_write_turn;
}  // namespace

bool Stmt::step() {
  std::unique_lock<std::mutex> turn(g_write_turn, std::defer_lock);
  if (!sqlite3_stmt_readonly(stmt_)) turn.lock();
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  throw DbError(sqlite3_errmsg(db_));
}

void Stmt::reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

void Stmt::value_into(int c, Value &out) const {
  int type = sqlite3_column_type(stmt_, c);
  if (type != SQLITE_TEXT && type != SQLITE_BLOB) {
    out = value(c);
    return;
  }
  const void *p = type == SQLITE_TEXT ? static_cast<const void *>(sqlite3_column_text(stmt_, c))
                                      : sqlite3_column_blob(stmt_, c);
  size_t n = static_cast<size_t>(sqlite3_column_bytes(stmt_, c));
  out.kind = type == SQLITE_TEXT ? Value::Kind::kText : Value::Kind::kBlob;
  out.s.assign(p ? static_cast<const char *>(p) : "", p ? n : 0);
}

Value Stmt::value(int c) const {
  switch (sqlite3_column_type(stmt_, c)) {
    case SQLITE_INTEGER: return Value::integer(sqlite3_column_int64(stmt_, c));
    case SQLITE_FLOAT: return Value::real(sqlite3_column_double(stmt_, c));
    case SQLITE_BLOB: {
      const void *p = sqlite3_column_blob(stmt_, c);
      int n = sqlite3_column_bytes(stmt_, c);
      return Value::blob(std::string(static_cast<const char *>(p), static_cast<size_t>(n)));
    }
    case SQLITE_TEXT: return Value::text(text(c));
    default: return Value();
  }
}

std::string Stmt::text(int c) const {
  const unsigned char *p = sqlite3_column_text(stmt_, c);
  if (!p) return "";
  return std::string(reinterpret_cast<const char *>(p),
                     static_cast<size_t>(sqlite3_column_bytes(stmt_, c)));
}

std::string quote_ident(const std::string &name) {
  std::string q = "\"";
  for (char c : name) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

}  // namespace r3sim

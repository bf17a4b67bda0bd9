// A connection to the simulator's database and its prepared statements.
// One connection belongs to one thread (a session or a job opens its own);
// WAL mode lets tests change tables with plain SQL while the simulator runs.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "value.h"

namespace r3sim {

struct DbError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class Stmt;

class SqliteDb {
 public:
  // Opens (and creates, when create is true) the file; throws DbError.
  SqliteDb(const std::string &path, bool create);
  ~SqliteDb();
  SqliteDb(const SqliteDb &) = delete;
  SqliteDb &operator=(const SqliteDb &) = delete;

  sqlite3 *raw() const { return db_; }
  const std::string &path() const { return path_; }
  // Runs statements without results (schema, pragmas, transactions).
  void exec(const std::string &sql);
  // Exactly one statement: trailing text after it is refused, so a text
  // built from client input can never smuggle a second statement in.
  Stmt prepare(const std::string &sql);
  bool table_exists(const std::string &name);

 private:
  sqlite3 *db_ = nullptr;
  std::string path_;
};

class Stmt {
 public:
  Stmt(sqlite3 *db, sqlite3_stmt *stmt) : db_(db), stmt_(stmt) {}
  ~Stmt() { sqlite3_finalize(stmt_); }
  Stmt(Stmt &&o) noexcept : db_(o.db_), stmt_(o.stmt_) { o.stmt_ = nullptr; }
  Stmt(const Stmt &) = delete;
  Stmt &operator=(const Stmt &) = delete;

  Stmt &bind(int index, const Value &v);
  Stmt &bind(int index, const std::string &text);
  Stmt &bind(int index, int64_t v);
  // Steps once: true when a row is there, false when done; throws DbError.
  bool step();
  void reset();
  int columns() const { return sqlite3_column_count(stmt_); }
  Value value(int column) const;
  // The same into an existing value, reusing its storage.
  void value_into(int column, Value &out) const;
  std::string text(int column) const;
  int64_t integer(int column) const { return sqlite3_column_int64(stmt_, column); }
  sqlite3_stmt *raw() const { return stmt_; }

 private:
  sqlite3 *db_;
  sqlite3_stmt *stmt_;
};

// Rolls back unless committed.
class Transaction {
 public:
  explicit Transaction(SqliteDb &db) : db_(db) { db_.exec("BEGIN IMMEDIATE"); }
  ~Transaction() {
    if (!done_) sqlite3_exec(db_.raw(), "ROLLBACK", nullptr, nullptr, nullptr);
  }
  void commit() { db_.exec("COMMIT"); done_ = true; }

 private:
  SqliteDb &db_;
  bool done_ = false;
};

// Quotes an identifier for SQL ("name" with inner quotes doubled).
std::string quote_ident(const std::string &name);

}  // namespace r3sim

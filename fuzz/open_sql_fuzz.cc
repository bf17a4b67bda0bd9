// The Open SQL condition translator of r3sim on arbitrary text. Whatever
// it accepts must be exactly one valid SQLite condition over the table's
// columns (as a HAVING clause, where aggregates may appear), with one bound
// value per placeholder.
#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "open_sql.h"
#include "sqlite_db.h"

namespace {

r3sim::OpenSqlTranslator &translator() {
  static r3sim::OpenSqlTranslator t([](const std::string &q, const std::string &name)
                                        -> std::optional<r3sim::SqlField> {
    if (!q.empty() && q != "T") return std::nullopt;
    r3sim::AbapField f;
    f.name = name;
    if (name == "CARRID") { f.type = r3sim::AbapType::kChar; f.length = 3; }
    else if (name == "CONNID") { f.type = r3sim::AbapType::kNumc; f.length = 4; }
    else if (name == "PRICE") { f.type = r3sim::AbapType::kPacked; f.length = 8; f.decimals = 2; }
    else if (name == "SEATS") { f.type = r3sim::AbapType::kInt4; f.length = 4; }
    else return std::nullopt;
    return r3sim::SqlField{r3sim::quote_ident(name), f};
  });
  return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static sqlite3 *db = [] {
    sqlite3 *d = nullptr;
    sqlite3_open(":memory:", &d);
    sqlite3_exec(d, "CREATE TABLE T (CARRID TEXT, CONNID TEXT, PRICE REAL, SEATS INTEGER)",
                 nullptr, nullptr, nullptr);
    return d;
  }();
  std::string text(reinterpret_cast<const char *>(data), size);
  r3sim::SqlCondition c;
  try {
    c = translator().translate(text);
  } catch (const r3sim::OpenSqlError &) {
    return 0;
  }
  // The translator serves HAVING clauses too, so a condition may compare
  // aggregates: it is checked where those are valid.
  std::string sql = "SELECT CARRID FROM T GROUP BY CARRID" + (c.sql.empty() ? "" : " HAVING " + c.sql);
  sqlite3_stmt *stmt = nullptr;
  const char *tail = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, &tail) != SQLITE_OK || !stmt || *tail ||
      sqlite3_bind_parameter_count(stmt) != static_cast<int>(c.params.size()))
    std::abort();
  sqlite3_finalize(stmt);
  return 0;
}

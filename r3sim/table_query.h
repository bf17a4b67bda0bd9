// Reads rows of one table: the fields asked for, an Open SQL condition,
// rows to skip and a row count, from a stored or a generated table. Used by
// RFC_READ_TABLE and by every module that extracts rows.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dictionary.h"
#include "open_sql.h"
#include "saprfc.h"
#include "sqlite_db.h"
#include "value.h"

namespace r3sim {

struct TableSelect {
  std::vector<AbapField> fields;  // in output order
  std::string where;              // Open SQL condition, may be empty
  int64_t skip = 0;
  int64_t count = 0;  // 0: all rows
};

class TableQuery {
 public:
  // Translates the condition and prepares the statement. Throws
  // OpenSqlError for a bad condition, DbError when SQLite refuses.
  TableQuery(SqliteDb &db, const TableDef &table, const TableSelect &select);

  // Calls row for every row, with one value per selected field, until it
  // returns false or the rows run out. Returns the number of rows seen.
  int64_t run(const std::function<bool(const std::vector<Value> &)> &row);

  // Resolver of the table's fields (qualifier empty or the table's name).
  static FieldResolver resolver(const TableDef &table, const std::string &sql_prefix);

 private:
  // Generated tables without a condition are computed here directly: no
  // SQL between the rows and their reader.
  bool direct_ = false;
  TableSelect select_;
  int64_t rows_ = 0;
  std::unique_ptr<Stmt> stmt_;
  size_t columns_;
};

// The condition a text table holds in lines of width characters (as
// RFC_READ_TABLE's OPTIONS): each line without its trailing blanks, the
// lines joined by blanks. Lines of another width are not read.
std::string condition_from_lines(ITAB_H lines, unsigned width);

}  // namespace r3sim

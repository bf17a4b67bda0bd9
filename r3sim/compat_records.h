// The records of the compatibility modules: every row of one table that a
// condition selects, all fields in the binary row layout, cut or padded
// with blanks to the record length the client asked for.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "dictionary.h"
#include "row_builder.h"
#include "sqlite_db.h"
#include "table_query.h"

namespace r3sim {

class CompatRecords {
 public:
  // Prepares the select; throws OpenSqlError or DbError for a condition
  // that cannot be run.
  CompatRecords(SqliteDb &db, const TableDef &table, const std::string &where,
                size_t record_length);

  // Why an extraction of table_name (any case) with a record length and
  // form (null when none was given) cannot run; "" when it can, with
  // table then the table's definition.
  static std::string refusal(SqliteDb &db, const std::string &table_name,
                             const std::string &record_length, const std::string *form,
                             std::optional<TableDef> &table);

  // Hands every record (record_length bytes) to take until it returns
  // false; the number of rows read.
  int64_t run(const std::function<bool(const char *record)> &take);

 private:
  TableSelect select_;
  std::unique_ptr<TableQuery> query_;
  RowLayout layout_;
  size_t record_length_;
};

}  // namespace r3sim

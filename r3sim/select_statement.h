// One select turned into one SQLite statement: the output fields in
// record order (with the layout rows travel in), the SQL text with its
// bound literals, and the metadata lines that describe the record.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "abap_field.h"
#include "select_request.h"
#include "select_sources.h"
#include "sqlite_db.h"
#include "value.h"

namespace r3sim {

// One field of the output record and where it comes from.
struct OutputField {
  std::string table;   // the real table, not the alias
  std::string name;    // field name ("*" for COUNT(*))
  std::string alias;   // as the select gave it
  std::string sql;     // column expression
};

class SelectStatement {
 public:
  // Checks tables, fields and clauses against the dictionary; throws
  // SelectError with the text the server shows its client.
  SelectStatement(SqliteDb &db, const SingleSelect &select, bool distinct);

  const std::string &sql() const { return sql_; }
  const std::vector<Value> &params() const { return params_; }
  // The record: fields with their offsets, in output order.
  const RowLayout &layout() const { return layout_; }
  const std::string &first_table() const { return first_table_; }
  // Name and authorisation group of every table the statement reads.
  const std::vector<std::pair<std::string, std::string>> &tables() const { return tables_; }
  // A plain read of a generated table (no condition, grouping or order)
  // yields rows 1 to n in order, which the flow computes without SQL: n
  // then; -1 for every other statement.
  int64_t generated_rows() const { return generated_rows_; }
  // One line per output field: table, field, alias, type, offset,
  // length, decimals, description.
  std::vector<std::string> metadata() const;
  // The statement prepared on db with its literals bound; throws
  // SelectError when SQLite refuses it.
  Stmt prepare(SqliteDb &db) const;

 private:
  void add_fields(const SelectSources &sources, const SingleSelect &select);
  std::string field_list(const SelectSources &sources, const std::string &text, bool order) const;

  std::vector<OutputField> outputs_;
  std::vector<AbapField> fields_;
  RowLayout layout_;
  std::string sql_;
  std::vector<Value> params_;
  std::string first_table_;
  std::vector<std::pair<std::string, std::string>> tables_;
  bool aggregated_ = false;
  int64_t generated_rows_ = -1;
};

}  // namespace r3sim

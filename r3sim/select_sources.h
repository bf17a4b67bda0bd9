// The tables a select reads, as SQL names them: each table of the select
// with its dictionary entry and a correlation name of its own (T1, T2...),
// so Open SQL's `table~field` and `alias~field` both find their column.
#pragma once

#include <string>
#include <vector>

#include "dictionary.h"
#include "open_sql.h"
#include "select_request.h"
#include "sqlite_db.h"

namespace r3sim {

struct SelectSource {
  TableDef def;
  std::string alias;  // the select's alias, empty when none
  std::string sql;    // correlation name in the statement
  std::string join;   // "inner" or "left"; empty for the first table
  std::string on;     // Open SQL join condition
};

class SelectSources {
 public:
  // Looks the tables up (and makes generated ones usable on db). Throws
  // SelectError for an unknown table or join type.
  SelectSources(SqliteDb &db, const std::vector<SelectTable> &tables);

  const std::vector<SelectSource> &all() const { return sources_; }
  const SelectSource &first() const { return sources_.front(); }
  // The source a qualifier (table name or alias) names; nullptr when none.
  const SelectSource *find(const std::string &qualifier) const;
  // Fields for the Open SQL translator: qualified by table name or alias,
  // or unqualified (the first table that has the field).
  FieldResolver resolver() const;
  // The FROM clause with its joins; the join conditions' literals are
  // appended to params in the order of their markers.
  std::string from_clause(std::vector<Value> &params) const;

 private:
  std::vector<SelectSource> sources_;
};

}  // namespace r3sim

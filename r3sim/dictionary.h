// Reads table definitions from the data dictionary (DD02L, DD03L). A table
// of the database that the dictionary does not know is described from its
// SQLite columns, so every table can be read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "abap_field.h"
#include "sqlite_db.h"

namespace r3sim {

struct TableDef {
  std::string name;
  std::string tabclass;  // TRANSP, GENER, INTTAB
  std::string cclass;    // authorisation group
  std::string text;
  int64_t gen_rows = 0;
  int64_t gen_width = 0;
  std::vector<AbapField> fields;

  bool generated() const { return tabclass == "GENER"; }
  // Structures have a layout but no rows.
  bool has_data() const { return tabclass == "TRANSP" || generated(); }
  const AbapField *field(const std::string &name) const;
};

class Dictionary {
 public:
  // The table's definition, or nothing when no such table exists.
  static std::optional<TableDef> find(SqliteDb &db, const std::string &name);
  // Fields of a generated table that declares no fields of its own: a row
  // number and a text filling the rest of the width.
  static std::vector<AbapField> generated_fields(const TableDef &def);

 private:
  static std::vector<AbapField> from_sqlite_columns(SqliteDb &db, const std::string &name);
};

}  // namespace r3sim

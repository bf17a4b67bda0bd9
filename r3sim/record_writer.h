// Lays out the current row of a statement as a record: one column per
// field, in the binary layout of the fields. Values SQLite already holds
// in the field's own form (text of a C field, an integer for I...) are
// copied straight from SQLite's memory; the rest goes through RowBuilder.
// Nothing is allocated per row: extractions of any size run on this.
#pragma once

#include <vector>

#include "abap_field.h"
#include "sqlite_db.h"
#include "value.h"

namespace r3sim {

class RecordWriter {
 public:
  explicit RecordWriter(const RowLayout &layout)
      : fields_(layout.fields()), spare_(layout.fields().size()) {}

  // Writes the record at dst, which holds zeros in the alignment gaps.
  void write(const Stmt &stmt, char *dst);

 private:
  // Writes column c directly; false when RowBuilder has to.
  static bool write_direct(sqlite3_stmt *stmt, int c, const AbapField &f, char *dst);

  std::vector<AbapField> fields_;
  std::vector<Value> spare_;  // reused by the slow path
};

}  // namespace r3sim

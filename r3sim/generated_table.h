// Generated tables: rows computed from the row number on demand, for
// benchmarks of any size without disk. Each one appears to SQL as a
// virtual table in the connection's temp schema, so queries on it run like
// queries on stored tables (conditions, order, LIMIT/OFFSET).
#pragma once

#include <cstdint>

#include "dictionary.h"
#include "sqlite_db.h"
#include "value.h"

namespace r3sim {

class GeneratedTable {
 public:
  // Makes the generated table usable on this connection under its own
  // name (temp schema); re-creates it when its definition changed.
  static void attach(SqliteDb &db, const TableDef &def);
  // The value of a field in row rowno (counted from 1).
  static Value value(const AbapField &field, int64_t rowno);
  // The same into an existing value, reusing its storage.
  static void value_into(const AbapField &field, int64_t rowno, Value &out);

  // Text of C fields: a window on a fixed pattern that shifts with the row;
  // pattern(rowno) has at least kPatternLength characters.
  static constexpr int kPatternPeriod = 61;
  static constexpr unsigned kPatternLength = 65536;
  static const char *pattern(int64_t rowno);
  // The field's value in row rowno in the binary layout at dst, as
  // RowBuilder would lay out value(); C and N fields without allocation.
  static void put_binary(const AbapField &field, int64_t rowno, char *dst);
  // The row number as the text of an N field of length digits (zero-padded,
  // its rightmost digits when too long) at out; no allocation.
  static void numc_text(int64_t rowno, unsigned length, char *out);
};

// The virtual table module behind generated tables.
const sqlite3_module &generated_table_module();

}  // namespace r3sim

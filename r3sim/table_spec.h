// How the simulator's code declares a table: the dictionary entry and,
// for tables that hold data, the SQLite table behind it. Seeding and the
// standard structures use it, so the dictionary and storage never disagree.
#pragma once

#include <string>
#include <vector>

#include "sqlite_db.h"

namespace r3sim {

struct FieldSpec {
  const char *name;
  char type;  // ABAP type letter
  unsigned length;
  unsigned decimals;
  bool key;
  const char *text;
};

struct TableSpec {
  TableSpec(std::string n, std::string c, std::string t, std::vector<FieldSpec> f,
            std::string auth = "")
      : name(std::move(n)), tabclass(std::move(c)), text(std::move(t)), fields(std::move(f)),
        cclass(std::move(auth)) {}

  std::string name;
  // "TRANSP": data in an SQLite table; "INTTAB": a structure, no data;
  // "GENER": rows computed on the fly.
  std::string tabclass;
  std::string text;
  std::vector<FieldSpec> fields;
  std::string cclass;  // authorisation group, empty: readable by everyone
};

// Writes the dictionary entry (DD02L, DD03L) and, for TRANSP, creates the
// SQLite table with one column per field. Replaces an earlier definition.
void define_table(SqliteDb &db, const TableSpec &spec);
// Writes only the dictionary entry, for tables whose storage exists already.
void describe_table(SqliteDb &db, const TableSpec &spec);

// SQLite column type that stores values of an ABAP type.
const char *sqlite_type(char abap_type);

}  // namespace r3sim

namespace r3sim {

// Appends rows to one table through one prepared statement.
class TableWriter {
 public:
  TableWriter(SqliteDb &db, const TableSpec &spec);
  void insert(const std::vector<Value> &row);

 private:
  Stmt stmt_;
};

}  // namespace r3sim

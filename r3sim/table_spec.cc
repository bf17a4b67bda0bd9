#include "table_spec.h"

namespace r3sim {

const char *sqlite_type(char t) {
  switch (t) {
    case 'X': return "BLOB";
    case 'I': case 's': case 'b': return "INTEGER";
    case 'F': case 'P': return "REAL";
    default: return "TEXT";
  }
}

void describe_table(SqliteDb &db, const TableSpec &spec) {
  Stmt del2 = db.prepare("DELETE FROM DD02L WHERE TABNAME = ?");
  del2.bind(1, spec.name).step();
  Stmt del3 = db.prepare("DELETE FROM DD03L WHERE TABNAME = ?");
  del3.bind(1, spec.name).step();
  Stmt t = db.prepare(
      "INSERT INTO DD02L (TABNAME, TABCLASS, CCLASS, DDTEXT) VALUES (?, ?, ?, ?)");
  t.bind(1, spec.name).bind(2, spec.tabclass).bind(3, spec.cclass).bind(4, spec.text).step();
  Stmt f = db.prepare(
      "INSERT INTO DD03L (TABNAME, FIELDNAME, POSITION, INTTYPE, INTLEN, DECIMALS, "
      "KEYFLAG, DDTEXT) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
  int position = 0;
  for (const auto &fs : spec.fields) {
    f.reset();
    f.bind(1, spec.name).bind(2, std::string(fs.name)).bind(3, int64_t{++position});
    f.bind(4, std::string(1, fs.type)).bind(5, int64_t{fs.length});
    f.bind(6, int64_t{fs.decimals}).bind(7, std::string(fs.key ? "X" : ""));
    f.bind(8, std::string(fs.text));
    f.step();
  }
}

void define_table(SqliteDb &db, const TableSpec &spec) {
  describe_table(db, spec);
  if (spec.tabclass != "TRANSP") return;
  std::string columns, keys;
  for (const auto &fs : spec.fields) {
    if (!columns.empty()) columns += ", ";
    columns += quote_ident(fs.name) + " " + sqlite_type(fs.type);
    if (fs.key) keys += (keys.empty() ? "" : ", ") + quote_ident(fs.name);
  }
  if (!keys.empty()) columns += ", PRIMARY KEY (" + keys + ")";
  db.exec("DROP TABLE IF EXISTS " + quote_ident(spec.name));
  db.exec("CREATE TABLE " + quote_ident(spec.name) + " (" + columns + ")");
}

}  // namespace r3sim

namespace r3sim {

namespace {
std::string insert_sql(const TableSpec &spec) {
  std::string marks;
  for (size_t i = 0; i < spec.fields.size(); ++i) marks += i ? ", ?" : "?";
  return "INSERT INTO " + quote_ident(spec.name) + " VALUES (" + marks + ")";
}
}  // namespace

TableWriter::TableWriter(SqliteDb &db, const TableSpec &spec)
    : stmt_(db.prepare(insert_sql(spec))) {}

void TableWriter::insert(const std::vector<Value> &row) {
  stmt_.reset();
  for (size_t i = 0; i < row.size(); ++i) stmt_.bind(static_cast<int>(i + 1), row[i]);
  stmt_.step();
}

}  // namespace r3sim

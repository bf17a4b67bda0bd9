#include "dictionary.h"

#include <cctype>
#include <cstdlib>

namespace r3sim {

namespace {

// Field names go into SQL text (quoted) and module arguments; only names
// of the dictionary's own form are taken.
bool plain_name(const std::string &n) {
  if (n.empty() || n.size() > 30) return false;
  for (char c : n)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '/') return false;
  return true;
}

}  // namespace

const AbapField *TableDef::field(const std::string &name) const {
  for (const auto &f : fields)
    if (f.name == name) return &f;
  return nullptr;
}

std::optional<TableDef> Dictionary::find(SqliteDb &db, const std::string &name) {
  TableDef def;
  def.name = name;
  Stmt t = db.prepare(
      "SELECT TABCLASS, IFNULL(GENROWS, 0), IFNULL(GENWIDTH, 0), IFNULL(CCLASS, ''), "
      "IFNULL(DDTEXT, '') FROM DD02L WHERE TABNAME = ?");
  t.bind(1, name);
  if (!t.step()) {
    if (!db.table_exists(name)) return std::nullopt;
    def.tabclass = "TRANSP";
    def.fields = from_sqlite_columns(db, name);
    return def;
  }
  def.tabclass = t.text(0);
  def.gen_rows = t.integer(1);
  def.gen_width = t.integer(2);
  def.cclass = t.text(3);
  def.text = t.text(4);
  Stmt f = db.prepare(
      "SELECT FIELDNAME, INTTYPE, INTLEN, IFNULL(DECIMALS, 0), IFNULL(KEYFLAG, ''), "
      "IFNULL(DDTEXT, '') FROM DD03L WHERE TABNAME = ? ORDER BY CAST(POSITION AS INTEGER)");
  f.bind(1, name);
  while (f.step()) {
    std::string type = f.text(1);
    if (type.size() != 1 || !is_abap_type(type[0]) || !plain_name(f.text(0))) continue;
    AbapField a;
    a.table = name;
    a.name = f.text(0);
    a.type = static_cast<AbapType>(type[0]);
    a.length = static_cast<unsigned>(f.integer(2));
    a.decimals = static_cast<unsigned>(f.integer(3));
    a.key = f.text(4) == "X";
    a.text = f.text(5);
    def.fields.push_back(a);
  }
  if (def.generated() && def.fields.empty()) def.fields = generated_fields(def);
  return def;
}

std::vector<AbapField> Dictionary::generated_fields(const TableDef &def) {
  int64_t width = def.gen_width < 1 ? 1 : def.gen_width;
  AbapField rowno;
  rowno.table = def.name;
  rowno.name = "ROWNO";
  rowno.type = AbapType::kNumc;
  rowno.length = static_cast<unsigned>(width < 10 ? width : 10);
  rowno.key = true;
  rowno.text = "Row number";
  std::vector<AbapField> fields{rowno};
  if (width > 10) {
    AbapField data;
    data.table = def.name;
    data.name = "DATA";
    data.type = AbapType::kChar;
    data.length = static_cast<unsigned>(width - 10);
    data.text = "Generated text";
    fields.push_back(data);
  }
  return fields;
}

std::vector<AbapField> Dictionary::from_sqlite_columns(SqliteDb &db, const std::string &name) {
  std::vector<AbapField> fields;
  Stmt s = db.prepare("SELECT name, upper(type), pk FROM pragma_table_info(?)");
  s.bind(1, name);
  while (s.step()) {
    AbapField a;
    a.table = name;
    a.name = s.text(0);
    std::string type = s.text(1);
    a.key = s.integer(2) > 0;
    if (type.find("INT") != std::string::npos) {
      a.type = AbapType::kInt4;
      a.length = 4;
    } else if (type.find("REAL") != std::string::npos || type.find("FLOA") != std::string::npos ||
               type.find("DOUB") != std::string::npos) {
      a.type = AbapType::kFloat;
      a.length = 8;
    } else {
      // CHAR(n) and the like give their length; plain text gets a wide field.
      size_t open = type.find('(');
      long n = open == std::string::npos ? 0 : std::strtol(type.c_str() + open + 1, nullptr, 10);
      a.type = type.find("BLOB") != std::string::npos ? AbapType::kRaw : AbapType::kChar;
      a.length = static_cast<unsigned>(n > 0 && n <= 65535 ? n : 255);
    }
    fields.push_back(a);
  }
  return fields;
}

}  // namespace r3sim

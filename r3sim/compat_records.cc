#include "compat_records.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace r3sim {

namespace {
TableSelect all_fields(const TableDef &table, const std::string &where) {
  TableSelect select;
  select.fields = table.fields;
  select.where = where;
  return select;
}
std::string upper(std::string s) {
  for (auto &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}
}  // namespace

std::string CompatRecords::refusal(SqliteDb &db, const std::string &table_name,
                                   const std::string &record_length, const std::string *form,
                                   std::optional<TableDef> &table) {
  std::string name = upper(table_name);
  if (name.empty()) return "No table name given";
  table = Dictionary::find(db, name);
  if (!table || !table->has_data()) return "Table " + name + " does not exist";
  if (std::strtol(record_length.c_str(), nullptr, 10) <= 0)
    return "Invalid record length " + record_length;
  if (form != nullptr && *form != "GETDATA") return "Form " + *form + " is not known";
  return "";
}

CompatRecords::CompatRecords(SqliteDb &db, const TableDef &table, const std::string &where,
                             size_t record_length)
    : select_(all_fields(table, where)),
      query_(std::make_unique<TableQuery>(db, table, select_)),
      layout_(select_.fields),
      record_length_(record_length) {}

int64_t CompatRecords::run(const std::function<bool(const char *record)> &take) {
  std::string row(layout_.width(), '\0');
  std::string record(record_length_, ' ');
  size_t copy = row.size() < record_length_ ? row.size() : record_length_;
  return query_->run([&](const std::vector<Value> &values) {
    RowBuilder::build_row(layout_, values, row.data());
    std::memcpy(record.data(), row.data(), copy);
    return take(record.data());
  });
}

}  // namespace r3sim

// RFC_READ_TABLE: rows of any table in character form, up to 512 bytes a
// row, with a field list, an Open SQL condition and paging.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dictionary.h"
#include "module_registry.h"
#include "row_builder.h"
#include "table_authority.h"
#include "table_query.h"
#include "sapitab.h"

namespace r3sim {

namespace {

constexpr unsigned kOptionWidth = 72;
constexpr unsigned kFieldsWidth = 103;  // FIELDNAME 30, OFFSET 6, LENGTH 6, TYPE 1, FIELDTEXT 60
constexpr unsigned kDataWidth = 512;

std::string upper(std::string s) {
  for (auto &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

void rfc_read_table(Call &call) {
  char table[30], delimiter[1] = {' '}, no_data[1] = {' '};
  int32_t rowskips = 0, rowcount = 0;
  std::memset(table, ' ', sizeof table);
  ParamList in;
  in.add("QUERY_TABLE", table, sizeof table)
      .add("DELIMITER", delimiter, 1)
      .add("NO_DATA", no_data, 1)
      .add("ROWSKIPS", &rowskips, 4, RFCTYPE_INT)
      .add("ROWCOUNT", &rowcount, 4, RFCTYPE_INT);
  TableList tables;
  ITAB_H options = tables.add("OPTIONS", kOptionWidth);
  ITAB_H fields = tables.add("FIELDS", kFieldsWidth);
  ITAB_H data = tables.add("DATA", kDataWidth);
  if (call.get(in, &tables) != RFC_OK) return;

  auto def = Dictionary::find(call.db(), upper(trimmed(table, sizeof table)));
  if (!def) return (void)call.raise("TABLE_NOT_AVAILABLE");
  if (!def->has_data()) return (void)call.raise("TABLE_WITHOUT_DATA");
  if (!TableAuthority::may_read(call, def->cclass)) return (void)call.raise("NOT_AUTHORIZED");

  TableSelect select;
  unsigned asked = ItLeng(fields) == kFieldsWidth ? ItFill(fields) : 0;
  for (unsigned i = 1; i <= asked; ++i) {
    auto *row = static_cast<const char *>(ItGetLine(fields, i));
    const AbapField *f = def->field(upper(trimmed(row, 30)));
    if (!f) return (void)call.raise("FIELD_NOT_VALID");
    select.fields.push_back(*f);
  }
  if (select.fields.empty()) select.fields = def->fields;

  bool delimited = delimiter[0] != ' ' && delimiter[0] != '\0';
  RowLayout layout(select.fields);
  if (layout.text_width(delimited) > kDataWidth) return (void)call.raise("DATA_BUFFER_EXCEEDED");

  // The field list goes back with offsets, lengths and types filled in.
  std::vector<unsigned> offsets;
  ItFree(fields);
  unsigned at = 0;
  for (const auto &f : select.fields) {
    auto *row = static_cast<char *>(ItAppLine(fields));
    char num[16];
    std::memset(row, ' ', kFieldsWidth);
    put_text(row, 30, f.name);
    std::snprintf(num, sizeof num, "%06u", at);
    std::memcpy(row + 30, num, 6);
    std::snprintf(num, sizeof num, "%06u", f.output_length());
    std::memcpy(row + 36, num, 6);
    row[42] = static_cast<char>(f.type);
    put_text(row + 43, 60, f.text);
    offsets.push_back(at);
    at += f.output_length() + (delimited ? 1 : 0);
  }

  select.where = condition_from_lines(options, kOptionWidth);
  select.skip = rowskips > 0 ? rowskips : 0;
  select.count = rowcount > 0 ? rowcount : 0;

  ItFree(data);
  if (no_data[0] == ' ' || no_data[0] == '\0') {
    std::unique_ptr<TableQuery> query;
    try {
      query = std::make_unique<TableQuery>(call.db(), *def, select);
    } catch (const OpenSqlError &) {
      return (void)call.raise("OPTION_NOT_VALID");
    } catch (const DbError &) {
      return (void)call.raise("OPTION_NOT_VALID");
    }
    query->run([&](const std::vector<Value> &values) {
      auto *row = static_cast<char *>(ItAppLine(data));
      if (!row) throw std::runtime_error("No more storage for the rows of " + def->name);
      std::memset(row, ' ', kDataWidth);
      for (size_t i = 0; i < values.size(); ++i) {
        RowBuilder::put_text(select.fields[i], values[i], row + offsets[i]);
        if (delimited && i + 1 < values.size())
          row[offsets[i] + select.fields[i].output_length()] = delimiter[0];
      }
      return true;
    });
  }
  ParamList none;
  call.send(none, &tables);
}

}  // namespace

void add_rfc_read_table(ModuleRegistry &registry) {
  registry.add_module("RFC_READ_TABLE", rfc_read_table);
}

}  // namespace r3sim

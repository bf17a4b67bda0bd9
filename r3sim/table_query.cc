#include "table_query.h"

#include "call_lists.h"
#include "generated_table.h"
#include "sapitab.h"

namespace r3sim {

namespace {

Stmt prepare(SqliteDb &db, const TableDef &table, const TableSelect &select) {
  if (table.generated()) GeneratedTable::attach(db, table);
  std::string cols;
  for (const auto &f : select.fields) cols += (cols.empty() ? "" : ", ") + quote_ident(f.name);
  if (cols.empty()) cols = "NULL";
  SqlCondition where =
      OpenSqlTranslator(TableQuery::resolver(table, "")).translate(select.where);
  std::string sql = "SELECT " + cols + " FROM " + quote_ident(table.name);
  if (!where.sql.empty()) sql += " WHERE " + where.sql;
  // Stored tables are read in key order, as the database would deliver
  // them through the primary index; generated rows come in row order.
  if (!table.generated()) {
    std::string keys;
    for (const auto &f : table.fields)
      if (f.key) keys += (keys.empty() ? "" : ", ") + quote_ident(f.name);
    if (!keys.empty()) sql += " ORDER BY " + keys;
  }
  if (select.count > 0 || select.skip > 0) sql += " LIMIT ? OFFSET ?";
  Stmt stmt = db.prepare(sql);
  int i = 1;
  for (const auto &p : where.params) stmt.bind(i++, p);
  if (select.count > 0 || select.skip > 0) {
    stmt.bind(i++, select.count > 0 ? select.count : int64_t{-1});
    stmt.bind(i++, select.skip > 0 ? select.skip : int64_t{0});
  }
  return stmt;
}

}  // namespace

TableQuery::TableQuery(SqliteDb &db, const TableDef &table, const TableSelect &select)
    : columns_(select.fields.size()) {
  bool blank = select.where.find_first_not_of(" \t\r\n") == std::string::npos;
  if (table.generated() && blank) {
    direct_ = true;
    select_ = select;
    rows_ = table.gen_rows;
  } else {
    stmt_ = std::make_unique<Stmt>(prepare(db, table, select));
  }
}

int64_t TableQuery::run(const std::function<bool(const std::vector<Value> &)> &row) {
  std::vector<Value> values(columns_);
  int64_t n = 0;
  if (direct_) {
    int64_t last = rows_;
    if (select_.count > 0 && select_.skip + select_.count < last) last = select_.skip + select_.count;
    for (int64_t r = select_.skip + 1; r <= last; ++r) {
      for (size_t c = 0; c < columns_; ++c) GeneratedTable::value_into(select_.fields[c], r, values[c]);
      ++n;
      if (!row(values)) break;
    }
    return n;
  }
  while (stmt_->step()) {
    for (size_t c = 0; c < columns_; ++c) stmt_->value_into(static_cast<int>(c), values[c]);
    ++n;
    if (!row(values)) break;
  }
  return n;
}

FieldResolver TableQuery::resolver(const TableDef &table, const std::string &sql_prefix) {
  return [table, sql_prefix](const std::string &qualifier,
                             const std::string &name) -> std::optional<SqlField> {
    if (!qualifier.empty() && qualifier != table.name) return std::nullopt;
    const AbapField *f = table.field(name);
    if (!f) return std::nullopt;
    return SqlField{sql_prefix + quote_ident(f->name), *f};
  };
}

std::string condition_from_lines(ITAB_H lines, unsigned width) {
  std::string condition;
  unsigned n = lines && ItLeng(lines) == width ? ItFill(lines) : 0;
  for (unsigned i = 1; i <= n; ++i)
    condition += trimmed(static_cast<const char *>(ItGetLine(lines, i)), width) + " ";
  return condition;
}

}  // namespace r3sim

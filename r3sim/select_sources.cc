#include "select_sources.h"

#include "generated_table.h"

namespace r3sim {

SelectSources::SelectSources(SqliteDb &db, const std::vector<SelectTable> &tables) {
  for (const auto &t : tables) {
    auto def = Dictionary::find(db, t.name);
    if (!def) throw SelectError("Table " + t.name + " is not known");
    if (!def->has_data()) throw SelectError("Table " + t.name + " is a structure without data");
    if (def->generated()) GeneratedTable::attach(db, *def);
    SelectSource s;
    s.def = std::move(*def);
    s.alias = t.alias;
    s.sql = "T" + std::to_string(sources_.size() + 1);
    s.on = t.on;
    if (!sources_.empty()) {
      s.join = t.join.empty() ? "inner" : t.join;
      if (s.join != "inner" && s.join != "left")
        throw SelectError("Join type " + t.join + " of table " + t.name + " is not known");
    } else if (!t.on.empty()) {
      throw SelectError("The first table " + t.name + " cannot have a join condition");
    }
    sources_.push_back(std::move(s));
  }
}

const SelectSource *SelectSources::find(const std::string &qualifier) const {
  for (const auto &s : sources_)
    if (!s.alias.empty() && s.alias == qualifier) return &s;
  for (const auto &s : sources_)
    if (s.def.name == qualifier) return &s;
  return nullptr;
}

FieldResolver SelectSources::resolver() const {
  return [this](const std::string &qualifier, const std::string &name) -> std::optional<SqlField> {
    for (const auto &s : sources_) {
      if (!qualifier.empty() && find(qualifier) != &s) continue;
      if (const AbapField *f = s.def.field(name)) return SqlField{s.sql + "." + quote_ident(f->name), *f};
    }
    return std::nullopt;
  };
}

std::string SelectSources::from_clause(std::vector<Value> &params) const {
  std::string sql;
  OpenSqlTranslator on(resolver());
  for (const auto &s : sources_) {
    if (!sql.empty()) sql += s.join == "left" ? " LEFT JOIN " : " INNER JOIN ";
    sql += quote_ident(s.def.name) + " AS " + s.sql;
    if (s.on.find_first_not_of(' ') == std::string::npos) continue;
    SqlCondition c;
    try {
      c = on.translate(s.on);
    } catch (const OpenSqlError &e) {
      throw SelectError("Bad join condition of table " + s.def.name + ": " + e.what());
    }
    sql += " ON " + c.sql;
    params.insert(params.end(), c.params.begin(), c.params.end());
  }
  return sql;
}

}  // namespace r3sim

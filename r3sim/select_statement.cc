#include "select_statement.h"

#include <cctype>
#include <cstdio>

#include "aggregate.h"
#include "open_sql_lexer.h"

namespace r3sim {

namespace {

std::string upper(std::string s) {
  for (auto &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool blank(const std::string &s) { return s.find_first_not_of(" \t") == std::string::npos; }

// Translates one Open SQL condition, naming the clause when it is bad.
std::string condition(const SelectSources &sources, const std::string &text, const char *clause,
                      std::vector<Value> &params) {
  try {
    SqlCondition c = OpenSqlTranslator(sources.resolver()).translate(text);
    params.insert(params.end(), c.params.begin(), c.params.end());
    return c.sql;
  } catch (const OpenSqlError &e) {
    throw SelectError(std::string("Bad ") + clause + " clause: " + e.what());
  }
}

}  // namespace

SelectStatement::SelectStatement(SqliteDb &db, const SingleSelect &select, bool distinct) {
  SelectSources sources(db, select.tables);
  first_table_ = sources.first().def.name;
  for (const auto &s : sources.all()) tables_.emplace_back(s.def.name, s.def.cclass);
  add_fields(sources, select);
  if (fields_.empty()) throw SelectError("No field of the select is in the output");
  layout_ = RowLayout(fields_);

  std::string cols;
  for (const auto &o : outputs_) {
    cols += (cols.empty() ? "" : ", ") + o.sql;
    if (!o.alias.empty()) cols += " AS " + quote_ident(o.alias);
  }
  sql_ = std::string("SELECT ") + (distinct ? "DISTINCT " : "") + cols + " FROM " +
         sources.from_clause(params_);
  if (!blank(select.where)) sql_ += " WHERE " + condition(sources, select.where, "WHERE", params_);
  std::string group = field_list(sources, select.group_by, false);
  if (!group.empty()) sql_ += " GROUP BY " + group;
  if (!blank(select.having))
    sql_ += " HAVING " + condition(sources, select.having, "HAVING", params_);
  std::string order = field_list(sources, select.order_by, true);
  // A plain read of one stored table comes in key order, as the database
  // delivers it through the primary index; generated rows come in row order.
  if (order.empty() && sources.all().size() == 1 && !sources.first().def.generated() &&
      group.empty() && !aggregated_ && !distinct)
    order = field_list(sources, "PRIMARY KEY", true);
  if (!order.empty()) sql_ += " ORDER BY " + order;
  if (sources.all().size() == 1 && sources.first().def.generated() && blank(select.where) &&
      group.empty() && blank(select.having) && order.empty() && !aggregated_ && !distinct)
    generated_rows_ = sources.first().def.gen_rows;
}

void SelectStatement::add_fields(const SelectSources &sources, const SingleSelect &select) {
  std::vector<SelectField> asked = select.fields;
  if (asked.empty()) asked.push_back({sources.first().def.name, "*", "", false, "", false});
  for (const auto &a : asked) {
    const SelectSource *src = a.table.empty() ? &sources.first() : sources.find(a.table);
    if (!src) throw SelectError("Field " + a.table + "-" + a.name + " is not known");
    auto agg = aggregate_named(a.aggregate);
    if (!agg) throw SelectError("Aggregate " + a.aggregate + " of field " + a.name + " is not known");
    if (*agg != Aggregate::kNone) aggregated_ = true;
    if (a.suppress) continue;
    if (a.name == "*" && *agg == Aggregate::kCount) {
      AbapField f;
      f.table = src->def.name;
      f.name = "*";
      fields_.push_back(aggregate_result(*agg, f));
      outputs_.push_back({src->def.name, "*", a.alias, aggregate_sql(*agg, "*", false)});
      continue;
    }
    std::vector<const AbapField *> picked;
    if (a.name == "*") {
      if (*agg != Aggregate::kNone) throw SelectError("Only COUNT can count all fields");
      for (const auto &f : src->def.fields) picked.push_back(&f);
    } else {
      const AbapField *f = src->def.field(a.name);
      if (!f) throw SelectError("Field " + src->def.name + "-" + a.name + " is not known");
      picked.push_back(f);
    }
    for (const AbapField *f : picked) {
      fields_.push_back(aggregate_result(*agg, *f));
      std::string column = src->sql + "." + quote_ident(f->name);
      outputs_.push_back({src->def.name, f->name, a.name == "*" ? "" : a.alias,
                          aggregate_sql(*agg, column, a.distinct)});
    }
  }
}

// A GROUP BY or ORDER BY list: fields (`table~field`, or an output
// alias), separated by blanks or commas; in an ORDER BY each may be
// followed by ASCENDING or DESCENDING, and PRIMARY KEY stands for the
// key fields of the first table.
std::string SelectStatement::field_list(const SelectSources &sources, const std::string &text,
                                        bool order) const {
  const char *clause = order ? "ORDER BY" : "GROUP BY";
  std::vector<Token> tokens;
  try {
    tokens = tokenize_open_sql(text);
  } catch (const OpenSqlError &e) {
    throw SelectError(std::string("Bad ") + clause + " clause: " + e.what());
  }
  FieldResolver resolve = sources.resolver();
  std::string sql;
  auto add = [&sql](const std::string &item) { sql += (sql.empty() ? "" : ", ") + item; };
  for (size_t i = 0; tokens[i].kind != Token::kEnd; ++i) {
    const Token &t = tokens[i];
    if (t.kind == Token::kSymbol && t.text == ",") continue;
    auto bad = [&](const std::string &why) {
      return SelectError(std::string("Bad ") + clause + " clause: " + why + " at position " +
                         std::to_string(t.pos + 1));
    };
    if (t.kind != Token::kWord) throw bad("Field expected");
    if (order && (t.text == "ASCENDING" || t.text == "DESCENDING" || t.text == "ASC" ||
                  t.text == "DESC")) {
      if (sql.empty()) throw bad("Field expected");
      sql += t.text[0] == 'A' ? " ASC" : " DESC";
      continue;
    }
    if (order && t.text == "PRIMARY" && tokens[i + 1].text == "KEY") {
      ++i;
      const SelectSource &first = sources.first();
      size_t before = sql.size();
      for (const auto &f : first.def.fields)
        if (f.key) add(first.sql + "." + quote_ident(f.name));
      if (sql.size() == before) add(first.sql + ".rowid");
      continue;
    }
    size_t tilde = t.text.find('~');
    std::string qualifier = tilde == std::string::npos ? "" : t.text.substr(0, tilde);
    std::string name = tilde == std::string::npos ? t.text : t.text.substr(tilde + 1);
    if (auto f = resolve(qualifier, name)) {
      add(f->sql);
      continue;
    }
    bool found = false;
    for (const auto &o : outputs_)
      if (!found && qualifier.empty() && !o.alias.empty() && upper(o.alias) == name) {
        add(quote_ident(o.alias));
        found = true;
      }
    if (!found) throw bad("Unknown field " + t.text);
  }
  return sql;
}

std::vector<std::string> SelectStatement::metadata() const {
  std::vector<std::string> lines;
  const auto &fields = layout_.fields();
  for (size_t i = 0; i < fields.size(); ++i) {
    const AbapField &f = fields[i];
    char line[1024];
    std::snprintf(line, sizeof line, "%s,%s,%s,%c,%u,%u,%u,%s", outputs_[i].table.c_str(),
                  outputs_[i].name.c_str(), outputs_[i].alias.c_str(), static_cast<char>(f.type),
                  f.offset, f.length, f.decimals, f.text.c_str());
    lines.push_back(line);
  }
  return lines;
}

Stmt SelectStatement::prepare(SqliteDb &db) const {
  try {
    Stmt s = db.prepare(sql_);
    int i = 1;
    for (const auto &p : params_) s.bind(i++, p);
    return s;
  } catch (const DbError &e) {
    throw SelectError(std::string("SQL error: ") + e.what());
  }
}

}  // namespace r3sim

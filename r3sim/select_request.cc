#include "select_request.h"

#include <cctype>
#include <cstdlib>

namespace r3sim {

namespace {

std::vector<std::string> split(const std::string &line, size_t max_parts) {
  std::vector<std::string> parts;
  size_t at = 0;
  while (parts.size() + 1 < max_parts) {
    size_t comma = line.find(',', at);
    if (comma == std::string::npos) break;
    parts.push_back(line.substr(at, comma - at));
    at = comma + 1;
  }
  parts.push_back(line.substr(at));
  return parts;
}

std::string trim(const std::string &s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

std::string upper(std::string s) {
  for (auto &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return trim(s);
}

std::string lower(std::string s) {
  for (auto &c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return trim(s);
}

bool yes(const std::string &s) { return upper(s).rfind('Y', 0) == 0; }

SelectField field_of(const std::string &line) {
  std::vector<std::string> p = split(line, 6);
  p.resize(6);
  SelectField f;
  f.table = upper(p[0]);
  f.name = upper(p[1]);
  f.alias = trim(p[2]);
  f.distinct = yes(p[3]);
  f.aggregate = trim(p[4]);
  f.suppress = yes(p[5]);
  return f;
}

bool same(const SelectField &a, const SelectField &b) {
  return a.table == b.table && a.name == b.name && a.alias == b.alias &&
         a.aggregate == b.aggregate;
}

bool names_table(const SingleSelect &s, const std::string &table) {
  for (const auto &t : s.tables)
    if (t.name == table || (!t.alias.empty() && t.alias == table)) return true;
  return false;
}

// The field lines of an nselect follow one another, select by select, each
// naming its select's table. A select's run ends at a line of another table
// or at a line it already has (the next select reads the same table). A
// select without lines of its own takes over the field names of the one
// before it: the server sends the field list once when only the first
// select names fields.
void assign_fields(std::vector<SingleSelect> &selects, const std::vector<SelectField> &fields) {
  size_t at = 0;
  for (size_t i = 0; i < selects.size(); ++i) {
    SingleSelect &s = selects[i];
    while (at < fields.size() && names_table(s, fields[at].table)) {
      bool repeated = false;
      for (const auto &f : s.fields) repeated = repeated || same(f, fields[at]);
      if (repeated) break;
      s.fields.push_back(fields[at++]);
    }
    if (s.fields.empty() && i > 0) {
      for (SelectField f : selects[i - 1].fields) {
        f.table = s.tables.empty() ? "" : s.tables[0].name;
        s.fields.push_back(f);
      }
    }
  }
  if (at < fields.size())
    throw SelectError("Field " + fields[at].table + "-" + fields[at].name + " is not known");
}

}  // namespace

SelectRequest SelectRequest::parse(const std::vector<std::string> &jdata,
                                   const std::vector<std::string> &mdata) {
  SelectRequest r;
  if (jdata.empty()) throw SelectError("No select given");
  std::vector<std::string> head = split(jdata[0], 2);
  std::string kind = lower(head[0]);
  if (kind == "sselect") r.kind = Kind::kSingle;
  else if (kind == "nselect") r.kind = Kind::kMany;
  else if (kind == "gselect") r.kind = Kind::kJoin;
  else throw SelectError("Unknown kind of select '" + trim(jdata[0]) + "'");
  r.distinct = head.size() > 1 && yes(head[1]);
  if (r.kind != Kind::kMany) r.selects.emplace_back();

  for (size_t i = 1; i < jdata.size(); ++i) {
    std::vector<std::string> p = split(jdata[i], 4);
    std::string tag = upper(p[0]);
    if (tag == "T") {
      p.resize(4);
      if (r.kind == Kind::kMany) r.selects.emplace_back();
      r.selects.back().tables.push_back({upper(p[1]), upper(p[2]), lower(p[3]), ""});
      continue;
    }
    if (tag != "W" && tag != "GB" && tag != "H" && tag != "OB" && tag != "O")
      throw SelectError("Unknown select line '" + trim(jdata[i]) + "'");
    long n = p.size() > 1 ? std::strtol(p[1].c_str(), nullptr, 10) : 0;
    if (n < 0 || static_cast<size_t>(n) > jdata.size() - 1 - i)
      throw SelectError("Clause " + tag + " announces more lines than follow");
    std::string text;
    for (long k = 0; k < n; ++k) text += (k ? " " : "") + jdata[++i];
    if (r.selects.empty()) r.selects.emplace_back();
    SingleSelect &s = r.selects.back();
    std::string *target = tag == "W" ? &s.where : tag == "GB" ? &s.group_by
                        : tag == "H" ? &s.having : tag == "OB" ? &s.order_by : nullptr;
    if (!target) {
      if (s.tables.empty()) throw SelectError("Join condition without a table");
      target = &s.tables.back().on;
    }
    *target += (target->empty() ? "" : " ") + text;
  }
  if (r.selects.empty()) throw SelectError("No table given");
  for (const auto &s : r.selects)
    if (s.tables.empty() || s.tables[0].name.empty()) throw SelectError("No table given");

  std::vector<SelectField> fields;
  for (const auto &line : mdata)
    if (!trim(line).empty()) fields.push_back(field_of(line));
  if (r.kind == Kind::kMany) {
    assign_fields(r.selects, fields);
  } else {
    r.selects[0].fields = fields;
  }
  return r;
}

}  // namespace r3sim

#include "select_fixture.h"

#include "dictionary.h"
#include "row_builder.h"

namespace r3simtest {

std::vector<std::string> SelectTest::direct(const std::string &sql, const std::string &table,
                                            const std::vector<std::string> &fields) {
  auto def = r3sim::Dictionary::find(sim_.db(), table);
  std::vector<r3sim::AbapField> picked;
  for (const auto &f : fields) {
    const r3sim::AbapField *a = def ? def->field(f) : nullptr;
    if (!a) ADD_FAILURE() << "no field " << table << "-" << f;
    if (a) picked.push_back(*a);
  }
  return direct(sql, picked);
}

std::vector<std::string> SelectTest::direct(const std::string &sql,
                                            const std::vector<r3sim::AbapField> &fields) {
  r3sim::RowLayout layout(fields);
  r3sim::Stmt s = sim_.db().prepare(sql);
  std::vector<std::string> rows;
  while (s.step()) {
    std::vector<r3sim::Value> values;
    for (int c = 0; c < s.columns(); ++c) values.push_back(s.value(c));
    std::string row(layout.width(), '\0');
    r3sim::RowBuilder::build_row(layout, values, row.data());
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::string> SelectTest::logged(const std::string &kind, const std::string &function) {
  r3sim::Stmt s = sim_.db().prepare(
      "SELECT DETAIL || '|' || RESULT FROM ZSIM_CALLS WHERE KIND = ? AND FUNCNAME = ? "
      "ORDER BY SEQNO");
  s.bind(1, kind).bind(2, function);
  std::vector<std::string> rows;
  while (s.step()) rows.push_back(s.text(0));
  return rows;
}

std::vector<std::string> SelectTest::statements() {
  std::vector<std::string> out;
  for (const auto &row : logged("SQL", "/QOR/Z_QOR_DIALOG")) {
    std::string sql = row.substr(0, row.rfind('|'));
    out.push_back(sql.rfind("SQL=", 0) == 0 ? sql.substr(4) : sql);
  }
  return out;
}

}  // namespace r3simtest

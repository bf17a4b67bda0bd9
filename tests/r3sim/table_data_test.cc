// The database behind the simulator: demo data, dictionary, table reads
// with conditions and paging, generated tables.
#include <gtest/gtest.h>

#include <set>

#include "child_process.h"
#include "demo_data.h"
#include "dictionary.h"
#include "generated_table.h"
#include "system_tables.h"
#include "table_query.h"

using namespace r3sim;

namespace {

void seed(SqliteDb &db, int64_t bookings) {
  create_system_tables(db, SystemSeed{});
  DemoSize size;
  size.bookings = bookings;
  seed_demo_data(db, size);
}

// Every value of a table, in key order, as one text.
std::string dump(SqliteDb &db, const std::string &table) {
  auto def = Dictionary::find(db, table);
  EXPECT_TRUE(def);
  TableSelect sel;
  sel.fields = def->fields;
  std::string out;
  TableQuery(db, *def, sel).run([&](const std::vector<Value> &row) {
    for (const auto &v : row) out += std::to_string(static_cast<int>(v.kind)) + v.s + std::to_string(v.i) + std::to_string(v.r) + "|";
    out += "\n";
    return true;
  });
  return out;
}

std::vector<std::vector<Value>> select(SqliteDb &db, const std::string &table,
                                       std::vector<std::string> fields, const std::string &where,
                                       int64_t skip = 0, int64_t count = 0) {
  auto def = Dictionary::find(db, table);
  EXPECT_TRUE(def) << table;
  TableSelect sel;
  for (const auto &f : fields) sel.fields.push_back(*def->field(f));
  sel.where = where;
  sel.skip = skip;
  sel.count = count;
  std::vector<std::vector<Value>> rows;
  TableQuery(db, *def, sel).run([&](const std::vector<Value> &r) { rows.push_back(r); return true; });
  return rows;
}

}  // namespace

TEST(TableData, DemoDataIsDeterministicAndComplete) {
  qtest::TempDir dir;
  SqliteDb a(dir.file("a.db"), true), b(dir.file("b.db"), true);
  seed(a, 3000);
  seed(b, 3000);
  for (const char *t : {"SCARR", "SPFLI", "SFLIGHT", "SCUSTOM", "SBOOK", "MARA", "MAKT"}) {
    std::string da = dump(a, t);
    EXPECT_FALSE(da.empty()) << t;
    EXPECT_EQ(da, dump(b, t)) << t;
  }
  EXPECT_EQ(select(a, "SBOOK", {"BOOKID"}, "").size(), 3000u);

  // Every ABAP type appears in some demo table.
  std::set<char> types;
  for (const char *t : {"SCARR", "SPFLI", "SFLIGHT", "SCUSTOM", "SBOOK", "MARA", "MAKT"})
  {
    auto def = Dictionary::find(a, t);
    for (const auto &f : def->fields) types.insert(static_cast<char>(f.type));
  }
  EXPECT_EQ(types, (std::set<char>{'C', 'N', 'D', 'T', 'X', 'I', 's', 'b', 'F', 'P'}));

  // Seats taken on a flight are the economy bookings made for it.
  auto flight = select(a, "SFLIGHT", {"CARRID", "CONNID", "FLDATE", "SEATSOCC"}, "SEATSOCC > 0", 0, 1);
  ASSERT_EQ(flight.size(), 1u);
  auto booked = select(a, "SBOOK", {"BOOKID"},
                       "CARRID = '" + flight[0][0].s + "' AND CONNID = '" + flight[0][1].s +
                           "' AND FLDATE = '" + flight[0][2].s + "' AND CLASS = 'Y'");
  EXPECT_EQ(static_cast<int64_t>(booked.size()), flight[0][3].i);
}

TEST(TableData, ConditionsPagingAndDictionary) {
  qtest::TempDir dir;
  SqliteDb db(dir.file("d.db"), true);
  seed(db, 500);
  auto all = select(db, "SBOOK", {"BOOKID"}, "");
  auto page = select(db, "SBOOK", {"BOOKID"}, "", 10, 5);
  ASSERT_EQ(page.size(), 5u);
  EXPECT_EQ(page[0][0].s, all[10][0].s);
  auto some = select(db, "SBOOK", {"BOOKID", "CLASS"}, "BOOKID BETWEEN '10' AND '19' AND CLASS IN ('Y', 'C')");
  for (const auto &r : some) EXPECT_TRUE(r[1].s == "Y" || r[1].s == "C");
  EXPECT_LE(some.size(), 10u);
  EXPECT_GT(some.size(), 0u);
  EXPECT_EQ(select(db, "MAKT", {"MAKTX"}, "SPRAS = 'D' AND MAKTX LIKE 'Pumpe%'").size(),
            select(db, "MAKT", {"MAKTX"}, "SPRAS = 'E' AND MAKTX LIKE 'Pump,%'").size());
  EXPECT_TRUE(select(db, "MAKT", {"MAKTX"}, "MAKTX LIKE 'pump%'").empty());  // case matters

  // System tables are in the dictionary; unknown tables are not found.
  EXPECT_EQ(Dictionary::find(db, "USR02")->cclass, "SS");
  EXPECT_EQ(Dictionary::find(db, "RFCSI")->tabclass, "INTTAB");
  EXPECT_FALSE(Dictionary::find(db, "NOSUCH"));
  // A table created with plain SQL is described from its columns.
  db.exec("CREATE TABLE ZPLAIN (K TEXT, N INTEGER, C VARCHAR(7))");
  auto plain = Dictionary::find(db, "ZPLAIN");
  ASSERT_TRUE(plain);
  ASSERT_EQ(plain->fields.size(), 3u);
  EXPECT_EQ(plain->fields[1].type, AbapType::kInt4);
  EXPECT_EQ(plain->fields[2].length, 7u);

  // A condition never runs as a second statement.
  EXPECT_THROW(select(db, "SBOOK", {"BOOKID"}, "CLASS = 'Y'; DELETE FROM SBOOK"), OpenSqlError);
  EXPECT_THROW(db.prepare("SELECT 1; DELETE FROM SBOOK"), DbError);
  EXPECT_EQ(select(db, "SBOOK", {"BOOKID"}, "").size(), 500u);
}

TEST(TableData, GeneratedTables) {
  qtest::TempDir dir;
  SqliteDb db(dir.file("g.db"), true);
  create_system_tables(db, SystemSeed{});
  db.exec("INSERT INTO DD02L (TABNAME, TABCLASS, GENROWS, GENWIDTH) VALUES ('ZBIG', 'GENER', 5000000000, 60)");
  auto def = Dictionary::find(db, "ZBIG");
  ASSERT_TRUE(def);
  ASSERT_EQ(def->fields.size(), 2u);
  EXPECT_EQ(def->fields[0].length + def->fields[1].length, 60u);

  // A page far into five billion rows comes at once, with the right rows.
  auto page = select(db, "ZBIG", {"ROWNO", "DATA"}, "", 4000000000, 3);
  ASSERT_EQ(page.size(), 3u);
  EXPECT_EQ(page[0][0].s, "4000000001");
  EXPECT_EQ(page[2][1].s, GeneratedTable::value(def->fields[1], 4000000003).s);
  // Rows computed directly and rows served through SQL are the same.
  auto direct = select(db, "ZBIG", {"DATA", "ROWNO"}, "", 70, 80);
  auto through_sql = select(db, "ZBIG", {"DATA", "ROWNO"}, "ROWNO > 0", 70, 80);
  ASSERT_EQ(direct.size(), 80u);
  for (size_t i = 0; i < direct.size(); ++i) {
    EXPECT_EQ(direct[i][0].s, through_sql[i][0].s) << i;
    EXPECT_EQ(direct[i][1].s, through_sql[i][1].s) << i;
  }
  auto range = select(db, "ZBIG", {"ROWNO"}, "ROWNO > '4999999997'");
  ASSERT_EQ(range.size(), 3u);
  EXPECT_EQ(range[0][0].s, "4999999998");
  EXPECT_EQ(select(db, "ZBIG", {"ROWNO"}, "ROWNO BETWEEN 11 AND 20", 2, 3)[0][0].s, "0000000013");

  // Declared fields of any type, and a change of the row count, take effect.
  db.exec("UPDATE DD02L SET GENROWS = 4 WHERE TABNAME = 'ZBIG';"
          "INSERT INTO DD03L VALUES ('ZBIG', 'ROWNO', 1, 'N', 6, 0, 'X', '');"
          "INSERT INTO DD03L VALUES ('ZBIG', 'AMOUNT', 2, 'P', 5, 2, '', '');"
          "INSERT INTO DD03L VALUES ('ZBIG', 'WHEN', 3, 'D', 8, 0, '', '')");
  auto small = select(db, "ZBIG", {"ROWNO", "AMOUNT", "WHEN"}, "AMOUNT >= '2.5'");
  ASSERT_EQ(small.size(), 3u);
  EXPECT_EQ(small[0][0].s, "000002");
  EXPECT_EQ(small[0][1].r, 2.5);
  EXPECT_EQ(small[0][2].s, "20000103");
}

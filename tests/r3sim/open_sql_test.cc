// Translation of Open SQL conditions into SQLite expressions.
#include <gtest/gtest.h>

#include "open_sql.h"

using namespace r3sim;

namespace {

class OpenSqlTest : public ::testing::Test {
 protected:
  OpenSqlTranslator translator_{[](const std::string &q, const std::string &name)
                                    -> std::optional<SqlField> {
    if (!q.empty() && q != "SFLIGHT" && q != "F") return std::nullopt;
    AbapField f;
    f.name = name;
    if (name == "CARRID") { f.type = AbapType::kChar; f.length = 3; }
    else if (name == "CONNID") { f.type = AbapType::kNumc; f.length = 4; }
    else if (name == "PRICE") { f.type = AbapType::kPacked; f.length = 8; f.decimals = 2; }
    else if (name == "SEATSOCC") { f.type = AbapType::kInt4; f.length = 4; }
    else if (name == "FLDATE") { f.type = AbapType::kDate; f.length = 8; }
    else return std::nullopt;
    return SqlField{(q.empty() ? "" : q + ".") + name, f};
  }};

  std::string sql(const std::string &cond) { return translator_.translate(cond).sql; }
  std::vector<Value> params(const std::string &cond) { return translator_.translate(cond).params; }
};

}  // namespace

TEST_F(OpenSqlTest, ComparisonOperatorsBothSpellings) {
  EXPECT_EQ(sql("CARRID EQ 'LH' AND CONNID ne '400'"), "CARRID = ? AND CONNID <> ?");
  EXPECT_EQ(sql("price lt 10 or price LE 20 OR price GT 1 or price ge 2"),
            "PRICE < ? OR PRICE <= ? OR PRICE > ? OR PRICE >= ?");
  EXPECT_EQ(sql("PRICE<=5 AND PRICE>=1 AND PRICE<>3 AND PRICE=4"),
            "PRICE <= ? AND PRICE >= ? AND PRICE <> ? AND PRICE = ?");
}

TEST_F(OpenSqlTest, LiteralsAreTypedByTheirField) {
  auto p = params("CONNID = '400' AND CARRID = 'LH ' AND SEATSOCC > 10 AND PRICE < '99.5'");
  ASSERT_EQ(p.size(), 4u);
  EXPECT_EQ(p[0].s, "0400");  // NUMC padded like the stored values
  EXPECT_EQ(p[1].s, "LH");    // trailing blanks do not count in C fields
  EXPECT_EQ(p[2].kind, Value::Kind::kInt);
  EXPECT_EQ(p[3].kind, Value::Kind::kReal);
  EXPECT_EQ(p[3].r, 99.5);
  EXPECT_EQ(params("CARRID = 'it''s'")[0].s, "it's");
}

TEST_F(OpenSqlTest, QualifiedFieldsAndFieldComparisons) {
  EXPECT_EQ(sql("sflight~carrid = f~carrid"), "SFLIGHT.CARRID = F.CARRID");
  EXPECT_THROW(translator_.translate("OTHER~CARRID = 'X'"), OpenSqlError);
  EXPECT_THROW(translator_.translate("NOSUCH = 'X'"), OpenSqlError);
}

TEST_F(OpenSqlTest, LikeInBetweenNotAndParentheses) {
  EXPECT_EQ(sql("CARRID LIKE 'L%' AND CARRID NOT LIKE '_A' ESCAPE '#'"),
            "CARRID LIKE ? AND CARRID NOT LIKE ? ESCAPE ?");
  EXPECT_EQ(sql("CARRID IN ('LH', 'AA') AND CONNID NOT IN ('17')"),
            "CARRID IN (?, ?) AND CONNID NOT IN (?)");
  EXPECT_EQ(params("CONNID IN ('17', '0400')")[0].s, "0017");
  EXPECT_EQ(sql("FLDATE BETWEEN '20260101' AND '20261231' AND NOT ( PRICE > 1 OR PRICE < 0 )"),
            "FLDATE BETWEEN ? AND ? AND NOT (PRICE > ? OR PRICE < ?)");
  EXPECT_EQ(sql("PRICE NOT BETWEEN 1 AND 2"), "PRICE NOT BETWEEN ? AND ?");
  EXPECT_EQ(sql("CARRID IS NOT NULL"), "CARRID IS NOT NULL");
  EXPECT_EQ(sql("   "), "");
}

TEST_F(OpenSqlTest, SyntaxErrorsAreRefused) {
  for (const char *bad : {"CARRID = 'LH", "CARRID 'LH'", "CARRID = ", "(CARRID = 'A'",
                          "CARRID = 'A' AND", "CARRID = 'A' )", "CARRID ; = 'A'",
                          "CARRID IN 'A'", "CARRID BETWEEN 'A' 'B'", "CARRID = 'A' CONNID = '1'",
                          "CARRID NOT = 'A'", "AND = 'A'"})
    EXPECT_THROW(translator_.translate(bad), OpenSqlError) << bad;
}

TEST_F(OpenSqlTest, InjectionStaysALiteral) {
  SqlCondition c = translator_.translate("CARRID = 'X''; DROP TABLE SFLIGHT; --'");
  EXPECT_EQ(c.sql, "CARRID = ?");
  ASSERT_EQ(c.params.size(), 1u);
  EXPECT_EQ(c.params[0].s, "X'; DROP TABLE SFLIGHT; --");
  EXPECT_THROW(translator_.translate("CARRID = 'A'; DELETE FROM SFLIGHT"), OpenSqlError);
  EXPECT_THROW(translator_.translate("CARRID = 'A' -- comment"), OpenSqlError);
}

TEST_F(OpenSqlTest, AggregatesInHavingAndTheirLiteralTypes) {
  SqlCondition c = translator_.translate(
      "COUNT( * ) GT '5' AND SUM( f~price ) LE 10 AND COUNT( DISTINCT connid ) NE 2");
  EXPECT_EQ(c.sql, "COUNT(*) > ? AND SUM(F.PRICE) <= ? AND COUNT(DISTINCT CONNID) <> ?");
  ASSERT_EQ(c.params.size(), 3u);
  // COUNT compares with integers whatever the literal looks like.
  EXPECT_EQ(c.params[0].kind, Value::Kind::kInt);
  EXPECT_EQ(c.params[0].i, 5);
  EXPECT_EQ(c.params[1].kind, Value::Kind::kReal);
  EXPECT_EQ(c.params[2].kind, Value::Kind::kInt);
  EXPECT_THROW(translator_.translate("SUM( * ) GT 1"), OpenSqlError);
  EXPECT_THROW(translator_.translate("MEDIAN( price ) GT 1"), OpenSqlError);
  EXPECT_THROW(translator_.translate("SUM( 'x' ) GT 1"), OpenSqlError);
  EXPECT_THROW(translator_.translate("PRICE * 2 GT 1"), OpenSqlError);
  EXPECT_THROW(translator_.translate("MIN( MIN( CARRID ) ) GT 1"), OpenSqlError);
}

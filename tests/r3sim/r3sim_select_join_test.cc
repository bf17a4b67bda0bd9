// Selects over several tables (joins), several selects in one stream,
// DISTINCT and aggregates with GROUP BY and HAVING.
#include <gtest/gtest.h>

#include <algorithm>

#include "select_fixture.h"

using r3sim::AbapField;
using r3sim::AbapType;
using r3simtest::SelectAsk;
using r3simtest::SelectOutcome;
using r3simtest::SelectTest;

namespace {

AbapField field(AbapType type, unsigned length, unsigned decimals = 0) {
  AbapField f;
  f.type = type;
  f.length = length;
  f.decimals = decimals;
  return f;
}

}  // namespace

TEST_F(SelectTest, JoinWithInnerAndLeftTablesAndAliases) {
  // A carrier without connections shows only through the left join.
  sim_.db().exec("INSERT INTO SCARR VALUES ('800', 'ZZ', 'Nowhere Air', 'EUR', '')");
  SelectAsk ask;
  ask.jdata = {"gselect", "T,SCARR,C,", "T,SPFLI,P,left", "O,1", "p~carrid EQ c~carrid",
               "T,SFLIGHT,F,inner", "O,2", "f~carrid EQ p~carrid AND f~connid EQ p~connid",
               "AND f~fldate LT '20000101'",
               "W,1", "c~carrid IN ('ZZ', 'NW')", "OB,1", "c~carrid p~connid"};
  ask.mdata = {"C,CARRID,,,,", "SCARR,CARRNAME,,,,", "P,CONNID,,,,", "P,CITYTO,,,,"};
  ask.func_flag = "B";
  SelectOutcome o = driver_.run(ask);
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  ASSERT_EQ(o.chunks.size(), 1u) << o.chunks[0].emsg;
  // The inner join of the flights (none before 2000) removes every row:
  // inner after left keeps only rows with a flight.
  EXPECT_EQ(o.rows, 0);

  ask.jdata = {"gselect", "T,SCARR,C,", "T,SPFLI,P,left", "O,1", "p~carrid EQ c~carrid",
               "W,1", "c~carrid IN ('ZZ', 'NW')", "OB,1", "c~carrid p~connid"};
  o = driver_.run(ask);
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  std::vector<AbapField> fields = {field(AbapType::kChar, 3), field(AbapType::kChar, 20),
                                   field(AbapType::kNumc, 4), field(AbapType::kChar, 20)};
  auto expected = direct(
      "SELECT c.CARRID, c.CARRNAME, p.CONNID, p.CITYTO FROM SCARR c LEFT JOIN SPFLI p "
      "ON p.CARRID = c.CARRID WHERE c.CARRID IN ('ZZ', 'NW') ORDER BY c.CARRID, p.CONNID",
      fields);
  ASSERT_GT(expected.size(), 1u);
  EXPECT_EQ(o.records(), expected);
  // The carrier without connections: initial values where the join found nothing.
  EXPECT_EQ(o.records().back(), std::string("ZZ Nowhere Air         0000") + std::string(20, ' '));
  EXPECT_EQ(o.metadata[2], "SPFLI,CONNID,,N,23,4,0,Flight connection number");
  EXPECT_EQ(direct(statements().back(), fields), expected);

  // Inner join of flights and connections against the same SQL run directly.
  ask.jdata = {"gselect", "T,SPFLI,,", "T,SFLIGHT,,", "O,2", "sflight~carrid = spfli~carrid AND",
               "sflight~connid = spfli~connid", "W,1", "spfli~cityfrom EQ 'FRANKFURT'"};
  ask.mdata = {"SPFLI,CITYTO,,,,", "SFLIGHT,FLDATE,,,,", "SFLIGHT,SEATSOCC,,,,"};
  o = driver_.run(ask);
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  fields = {field(AbapType::kChar, 20), field(AbapType::kDate, 8), field(AbapType::kInt4, 4)};
  expected = direct(
      "SELECT p.CITYTO, f.FLDATE, f.SEATSOCC FROM SPFLI p JOIN SFLIGHT f ON f.CARRID = p.CARRID "
      "AND f.CONNID = p.CONNID WHERE p.CITYFROM = 'FRANKFURT'",
      fields);
  ASSERT_GT(expected.size(), 10u);
  auto got = o.records();
  std::sort(got.begin(), got.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(got, expected);
  EXPECT_EQ(o.chunks[0].width, 32u);  // C 20, D 8, I 4 at 28
}

TEST_F(SelectTest, SeveralSelectsFollowOneAnotherInOneStream) {
  SelectAsk ask;
  ask.jdata = {"nselect", "T,SPFLI,,", "W,1", "CARRID EQ 'QA'", "T,SPFLI,,", "W,1",
               "CARRID EQ 'PA'", "OB,1", "CONNID DESCENDING"};
  ask.mdata = {"SPFLI,CARRID,,,,N", "SPFLI,CONNID,,,,N"};
  ask.func_flag = "B";
  SelectOutcome o = driver_.run(ask);
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  auto first = direct("SELECT CARRID, CONNID FROM SPFLI WHERE CARRID = 'QA' ORDER BY CARRID, CONNID",
                      "SPFLI", {"CARRID", "CONNID"});
  auto second = direct("SELECT CARRID, CONNID FROM SPFLI WHERE CARRID = 'PA' ORDER BY CONNID DESC",
                       "SPFLI", {"CARRID", "CONNID"});
  ASSERT_FALSE(first.empty());
  ASSERT_FALSE(second.empty());
  first.insert(first.end(), second.begin(), second.end());
  EXPECT_EQ(o.records(), first);
  EXPECT_EQ(o.metadata.size(), 2u);
  EXPECT_EQ(statements().size(), 2u);
  EXPECT_EQ(o.chunks.back().end_of_data, "X");

  // Each select names its own fields, of other tables; the widths agree.
  ask.jdata = {"nselect", "T,SCARR,,", "T,MAKT,,", "W,1", "SPRAS EQ 'D' AND MATNR LE '000000000000100010'"};
  ask.mdata = {"SCARR,CARRNAME,a,,,", "SCARR,CARRNAME,b,,,", "MAKT,MAKTX,,,,"};
  o = driver_.run(ask);
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  first = direct("SELECT CARRNAME, CARRNAME FROM SCARR ORDER BY MANDT, CARRID", "SCARR",
                 {"CARRNAME", "CARRNAME"});
  second = direct("SELECT MAKTX FROM MAKT WHERE SPRAS = 'D' AND MATNR <= '000000000000100010' "
                  "ORDER BY MANDT, MATNR, SPRAS", "MAKT", {"MAKTX"});
  ASSERT_FALSE(second.empty());
  first.insert(first.end(), second.begin(), second.end());
  EXPECT_EQ(o.records(), first) << o.chunks[0].emsg;

  ask.mdata = {"SCARR,CARRID,,,,", "MAKT,MAKTX,,,,"};
  o = driver_.run(ask);
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  EXPECT_EQ(o.chunks.back().emsg, "All selects of an nselect must have the same record width");
  EXPECT_EQ(o.rows, 0);
}

TEST_F(SelectTest, AggregatesWithGroupByAndHavingAndDistinct) {
  SelectAsk ask;
  ask.jdata = {"sselect", "T,SBOOK,,", "GB,1", "CARRID", "H,1",
               "COUNT( * ) GT 100 AND SUM( luggweight ) GT 10", "OB,1", "CARRID DESCENDING"};
  ask.mdata = {"SBOOK,CARRID,,,,",           "SBOOK,*,n,,count,",
               "SBOOK,CUSTOMID,customers,Y,COUNT,", "SBOOK,LUGGWEIGHT,,,sum,",
               "SBOOK,LOCCURAM,,,Avg,",       "SBOOK,FLDATE,,,max,",
               "SBOOK,CONNID,,,,Y"};
  ask.func_flag = "B";
  SelectOutcome o = driver_.run(ask);
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  EXPECT_EQ(o.metadata, (std::vector<std::string>{
                            "SBOOK,CARRID,,C,0,3,0,Airline code", "SBOOK,*,n,I,4,4,0,",
                            "SBOOK,CUSTOMID,customers,I,8,4,0,Customer number",
                            "SBOOK,LUGGWEIGHT,,P,12,5,4,Weight of luggage",
                            "SBOOK,LOCCURAM,,F,24,8,0,Price in local currency",
                            "SBOOK,FLDATE,,D,32,8,0,Flight date"}));
  std::vector<AbapField> fields = {field(AbapType::kChar, 3),      field(AbapType::kInt4, 4),
                                   field(AbapType::kInt4, 4),      field(AbapType::kPacked, 5, 4),
                                   field(AbapType::kFloat, 8),     field(AbapType::kDate, 8)};
  auto expected = direct(
      "SELECT CARRID, COUNT(*), COUNT(DISTINCT CUSTOMID), SUM(LUGGWEIGHT), AVG(LOCCURAM), "
      "MAX(FLDATE) FROM SBOOK GROUP BY CARRID HAVING COUNT(*) > 100 AND SUM(LUGGWEIGHT) > 10 "
      "ORDER BY CARRID DESC",
      fields);
  ASSERT_GT(expected.size(), 1u);
  EXPECT_EQ(o.records(), expected) << o.chunks[0].emsg;
  EXPECT_EQ(o.chunks[0].width, 40u);

  ask.jdata = {"sselect,Y", "T,SBOOK,,", "OB,1", "CUSTTYPE SMOKER"};
  ask.mdata = {"SBOOK,CUSTTYPE,,,,", "SBOOK,SMOKER,,,,"};
  o = driver_.run(ask);
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  expected = direct("SELECT DISTINCT CUSTTYPE, SMOKER FROM SBOOK ORDER BY CUSTTYPE, SMOKER", "SBOOK",
                    {"CUSTTYPE", "SMOKER"});
  ASSERT_GT(expected.size(), 1u);
  EXPECT_LT(expected.size(), 5u);
  EXPECT_EQ(o.records(), expected);
}

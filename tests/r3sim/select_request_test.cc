// Reading the select the server describes in JDATA and MDATA lines.
#include <gtest/gtest.h>

#include "select_request.h"

using namespace r3sim;

namespace {

std::vector<std::string> names(const SingleSelect &s) {
  std::vector<std::string> out;
  for (const auto &f : s.fields) out.push_back(f.table + "-" + f.name);
  return out;
}

}  // namespace

TEST(SelectRequestTest, ClauseGroupsJoinTheirLinesAndBelongWhereTheyStand) {
  SelectRequest r = SelectRequest::parse(
      {"gselect,y", "T,sflight,f,", "T,SPFLI,P,Left", "O,2", "p~carrid EQ f~carrid AND", "p~connid EQ f~connid",
       "W,1", "T,looks like a table line", "GB,1", "f~carrid", "H,1", "COUNT( * ) GT 1", "OB,1", "f~carrid"},
      {"f,carrid,c,Y,Count,", "SPFLI,CITYTO"});
  EXPECT_EQ(r.kind, SelectRequest::Kind::kJoin);
  EXPECT_TRUE(r.distinct);
  ASSERT_EQ(r.selects.size(), 1u);
  const SingleSelect &s = r.selects[0];
  ASSERT_EQ(s.tables.size(), 2u);
  EXPECT_EQ(s.tables[0].name, "SFLIGHT");
  EXPECT_EQ(s.tables[0].on, "");
  EXPECT_EQ(s.tables[1].alias, "P");
  EXPECT_EQ(s.tables[1].join, "left");
  EXPECT_EQ(s.tables[1].on, "p~carrid EQ f~carrid AND p~connid EQ f~connid");
  // A clause's text lines are text, whatever they look like.
  EXPECT_EQ(s.where, "T,looks like a table line");
  EXPECT_EQ(s.group_by, "f~carrid");
  EXPECT_EQ(s.having, "COUNT( * ) GT 1");
  ASSERT_EQ(s.fields.size(), 2u);
  EXPECT_EQ(s.fields[0].table, "F");
  EXPECT_EQ(s.fields[0].alias, "c");
  EXPECT_TRUE(s.fields[0].distinct);
  EXPECT_EQ(s.fields[0].aggregate, "Count");
  EXPECT_FALSE(s.fields[1].suppress);
}

TEST(SelectRequestTest, NselectFieldLinesGoToTheirSelects) {
  // Two selects of the same table, each with its own lines.
  SelectRequest r = SelectRequest::parse(
      {"nselect", "T,SPFLI,,", "W,1", "CARRID EQ 'AA'", "T,SPFLI,,", "T,SCARR,,"},
      {"SPFLI,CARRID,,,,N", "SPFLI,CONNID,,,,N", "SPFLI,CARRID,,,,N", "SPFLI,CITYTO,,,,N",
       "SCARR,CARRID,,,,N", "SCARR,CURRCODE,,,,Y"});
  ASSERT_EQ(r.selects.size(), 3u);
  EXPECT_EQ(r.selects[0].where, "CARRID EQ 'AA'");
  EXPECT_EQ(names(r.selects[0]), (std::vector<std::string>{"SPFLI-CARRID", "SPFLI-CONNID"}));
  EXPECT_EQ(names(r.selects[1]), (std::vector<std::string>{"SPFLI-CARRID", "SPFLI-CITYTO"}));
  EXPECT_EQ(names(r.selects[2]), (std::vector<std::string>{"SCARR-CARRID", "SCARR-CURRCODE"}));
  EXPECT_TRUE(r.selects[2].fields[1].suppress);

  // Only the first select names fields: the others read the same names.
  r = SelectRequest::parse({"nselect", "T,SPFLI,,", "T,SPFLI2,,"}, {"SPFLI,CARRID,,,,N"});
  EXPECT_EQ(names(r.selects[1]), (std::vector<std::string>{"SPFLI2-CARRID"}));
  // A line no select reads is an unknown field.
  EXPECT_THROW(SelectRequest::parse({"nselect", "T,SPFLI,,"}, {"SPFLI,CARRID", "MARA,MATNR"}),
               SelectError);
}

TEST(SelectRequestTest, MalformedRequests) {
  for (const auto &jdata : std::vector<std::vector<std::string>>{
           {}, {"select"}, {"sselect"}, {"gselect", "W,1", "X EQ 1"}, {"nselect"},
           {"sselect", "T,,,"}, {"sselect", "T,MARA,,", "W,2", "X EQ 1"},
           {"sselect", "O,1", "X EQ 1"}, {"sselect", "T,MARA,,", "Q,1", "X"}}) {
    EXPECT_THROW(SelectRequest::parse(jdata, {}), SelectError) << (jdata.empty() ? "" : jdata[0]);
  }
}

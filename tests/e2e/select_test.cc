// Select requests through the main port against r3sim: what R/3 received
// as request parameters, the rows the client reads compared with the rows
// r3sim's statements give on its database, and the ways an extraction
// fails or is broken off.
#include <gtest/gtest.h>

#include <thread>

#include "select_support.h"

using e2e::E2eSystem;
using e2e::SelectClient;
using e2e::SelectResult;
using qorclient::Record;

namespace {

using Lines = std::vector<std::string>;

size_t width_of(const std::vector<r3sim::AbapField> &fields) {
  return r3sim::RowLayout(fields).width();
}

std::string field_elements(const std::vector<std::string> &names) {
  std::string out;
  for (const auto &n : names) out += "<field name=\"" + n + "\"/>";
  return out;
}

// The whole of a good extraction: OK first, every row as r3sim's one
// statement gives it, the end record, the half-close, nothing else.
void expect_extraction(E2eSystem &sys, SelectClient &client, const std::string &table,
                       const std::vector<std::string> &fields, const std::string &where) {
  SCOPED_TRACE(table);
  auto layout = e2e::dictionary_fields(sys, table, fields);
  int64_t before = sys.last_call();
  SelectResult r = client.run("<sselect " + client.handles() + " data=\"Y\"><table name=\"" +
                                  table + "\"/>" + field_elements(fields) +
                                  (where.empty() ? "" : "<where>" + where + "</where>") +
                                  "</sselect>",
                              width_of(layout));
  EXPECT_EQ(r.lines, Lines{"OK"});
  Lines sql = e2e::logged_sql(sys, before);
  ASSERT_EQ(sql.size(), 1u);
  Lines expected = e2e::direct_rows(sys, sql[0], layout);
  EXPECT_FALSE(expected.empty()) << sql[0];
  EXPECT_EQ(r.rows.size(), expected.size());
  EXPECT_TRUE(r.rows == expected) << "records differ from the rows of " << sql[0];
  EXPECT_EQ(r.last.kind, Record::Kind::kEnd);
  EXPECT_TRUE(r.data_closed);
}

}  // namespace

TEST(E2eSelect, EveryDemoTableArrivesAsR3ProducedIt) {
  E2eSystem sys;
  SelectClient client(sys);
  expect_extraction(sys, client, "SCARR", {}, "");
  expect_extraction(sys, client, "SPFLI",
                    {"CARRID", "CONNID", "CITYFROM", "FLTIME", "DEPTIME", "DISTANCE", "PERIOD"}, "");
  expect_extraction(sys, client, "SFLIGHT",
                    {"CARRID", "CONNID", "FLDATE", "PRICE", "SEATSOCC", "PAYMENTSUM"},
                    "CARRID = 'PA'");
  expect_extraction(sys, client, "SCUSTOM", {"ID", "NAME", "CITY", "DISCOUNT"},
                    "ID BETWEEN '00000001' AND '00000300'");
  expect_extraction(sys, client, "SBOOK", {}, "");
  expect_extraction(sys, client, "MARA", {}, "");
  expect_extraction(sys, client, "MAKT", {}, "SPRAS = 'E'");

  // An empty result: OK and the end record of the row width, no rows.
  auto mara = e2e::dictionary_fields(sys, "MARA");
  SelectResult r = client.run("<sselect " + client.handles() +
                                  " data=\"Y\"><table name=\"MARA\"/><where>MATNR = 'NONE'</where>"
                                  "</sselect>",
                              width_of(mara));
  EXPECT_EQ(r.lines, Lines{"OK"});
  EXPECT_TRUE(r.rows.empty());
  EXPECT_EQ(r.last.kind, Record::Kind::kEnd);
  EXPECT_EQ(r.last.bytes.size(), width_of(mara));
  EXPECT_TRUE(r.data_closed);

  // Metadata asked for as well: R/3's field lines come before the OK.
  auto two = e2e::dictionary_fields(sys, "MARA", {"MATNR", "BRGEW"});
  r = client.run("<sselect " + client.handles() + " data=\"Y\" metadata=\"Y\"><table name=\"MARA\"/>"
                 "<field name=\"MATNR\"/><field name=\"BRGEW\"/></sselect>",
                 width_of(two));
  ASSERT_EQ(r.lines.size(), 3u) << ::testing::PrintToString(r.lines);
  EXPECT_EQ(r.lines[0].rfind("MARA,MATNR,,C,0,", 0), 0u) << r.lines[0];
  EXPECT_EQ(r.lines[1].rfind("MARA,BRGEW,,P,", 0), 0u) << r.lines[1];
  EXPECT_EQ(r.lines[2], "OK");
  EXPECT_EQ(r.rows.size(), 500u);
}

TEST(E2eSelect, RequestParametersAsR3ReceivedThem) {
  E2eSystem sys;
  SelectClient client(sys);
  auto received = [&](const std::string &element, Lines &jdata, Lines &mdata) {
    int64_t before = sys.last_call();
    client.run(element, 0);
    jdata = e2e::received_lines(sys, before, "JDATA");
    mdata = e2e::received_lines(sys, before, "MDATA");
    return before;
  };
  Lines jdata, mdata;
  std::string dhandle = client.dhandle();
  int64_t at = received("<sselect " + client.handles() + "><table name=\"MARA\"/></sselect>", jdata, mdata);
  EXPECT_EQ(jdata, (Lines{"sselect", "T,MARA,,"}));
  EXPECT_EQ(mdata, Lines{"MARA,*"});
  EXPECT_EQ(e2e::received_value(sys, at, "DHANDLE"), dhandle);
  EXPECT_EQ(e2e::received_value(sys, at, "BLOCKSIZE"), "00010000");

  // Two where elements, one of 72 characters and one cut to 72.
  std::string w72 = "MATNR <> '" + std::string(61, 'A') + "'";
  ASSERT_EQ(w72.size(), 72u);
  std::string w72_xml = "MATNR &lt;&gt; '" + std::string(61, 'A') + "'";
  received("<sselect chandle=\"" + client.chandle() + "\" distinct=\"y\"><table name=\"MARA\" "
           "alias=\"m\"/><where>" + w72_xml + "</where><where>AND " + w72_xml.substr(0, 74) + "'Z</where>"
           "<field name=\"MATNR\" distinct=\"y\"/><field name=\"BRGEW\" aggregate=\"sum\"/>"
           "<groupby>MATNR</groupby></sselect>",
           jdata, mdata);
  EXPECT_EQ(jdata, (Lines{"sselect,Y", "T,MARA,m,", "W,2", w72, "AND " + w72.substr(0, 68),
                          "GB,1", "MATNR"}));
  EXPECT_EQ(mdata, (Lines{"MARA,MATNR,,Y,,", "MARA,BRGEW,,,sum,"}));

  // Without dhandle the rows would go to the request connection itself.
  at = received("<sselect chandle=\"" + client.chandle() + "\"><table name=\"MARA\"/></sselect>",
                jdata, mdata);
  std::string own = e2e::received_value(sys, at, "DHANDLE");
  EXPECT_FALSE(own.empty());
  EXPECT_NE(own, dhandle);

  received("<gselect chandle=\"" + client.chandle() + "\"><table name=\"SCARR\" alias=\"a\">"
           "<on>a~CARRID = b~CARRID</on><on>AND a~CURRCODE = 'EUR'</on></table>"
           "<table name=\"SPFLI\" alias=\"b\" join=\"inner\"/><field name=\"CARRNAME\" table=\"a\"/>"
           "<field name=\"CONNID\"/><orderby>b~CONNID</orderby><where>b~FLTIME &gt; 60</where>"
           "</gselect>",
           jdata, mdata);
  EXPECT_EQ(jdata, (Lines{"gselect", "T,SCARR,a,", "O,2", "a~CARRID = b~CARRID",
                          "AND a~CURRCODE = 'EUR'", "T,SPFLI,b,inner", "W,1", "b~FLTIME > 60",
                          "OB,1", "b~CONNID"}));
  EXPECT_EQ(mdata, (Lines{"a,CARRNAME,,,,", "SPFLI,CONNID,,,,"}));

  received("<nselect chandle=\"" + client.chandle() + "\"><sselect><table name=\"MARA\"/>"
           "<field name=\"MATNR\"/><where>MTART = 'FERT'</where></sselect><sselect>"
           "<table name=\"MARA\"/><where>MTART = 'HALB'</where></sselect></nselect>",
           jdata, mdata);
  EXPECT_EQ(jdata, (Lines{"nselect", "T,MARA,,", "W,1", "MTART = 'FERT'", "T,MARA,,", "W,1",
                          "MTART = 'HALB'"}));
  EXPECT_EQ(mdata, Lines{"MARA,MATNR,,,,N"});
}

TEST(E2eSelect, NselectAndGselectGiveWhatTheirStatementsGive) {
  E2eSystem sys;
  SelectClient client(sys);
  auto fields = e2e::dictionary_fields(sys, "MARA", {"MATNR", "MTART", "BRGEW"});
  int64_t before = sys.last_call();
  std::string inner = field_elements({"MATNR", "MTART", "BRGEW"});
  SelectResult r = client.run(
      "<nselect " + client.handles() + " data=\"Y\"><sselect><table name=\"MARA\"/>" + inner +
          "<where>MTART = 'FERT'</where></sselect><sselect><table name=\"MARA\"/>" + inner +
          "<where>MTART = 'HALB'</where></sselect></nselect>",
      width_of(fields));
  Lines sql = e2e::logged_sql(sys, before);
  ASSERT_EQ(sql.size(), 2u);
  Lines expected = e2e::direct_rows(sys, sql[0], fields);
  Lines second = e2e::direct_rows(sys, sql[1], fields);
  EXPECT_FALSE(expected.empty());
  EXPECT_FALSE(second.empty());
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(r.lines, Lines{"OK"});
  EXPECT_TRUE(r.rows == expected);
  EXPECT_EQ(r.last.kind, Record::Kind::kEnd);

  auto joined = e2e::dictionary_fields(sys, "SCARR", {"CARRNAME"});
  for (const auto &f : e2e::dictionary_fields(sys, "SPFLI", {"CONNID", "CITYTO"})) joined.push_back(f);
  before = sys.last_call();
  r = client.run("<gselect " + client.handles() + " data=\"Y\"><table name=\"SCARR\" alias=\"a\">"
                 "</table><table name=\"SPFLI\" alias=\"b\"><on>a~CARRID = b~CARRID</on></table>"
                 "<field name=\"CARRNAME\" table=\"a\"/><field name=\"CONNID\"/><field name=\"CITYTO\"/>"
                 "<where>b~CITYFROM = 'FRANKFURT'</where><orderby>b~CONNID</orderby></gselect>",
                 width_of(joined));
  sql = e2e::logged_sql(sys, before);
  ASSERT_EQ(sql.size(), 1u) << ::testing::PrintToString(r.lines);
  expected = e2e::direct_rows(sys, sql[0], joined);
  EXPECT_FALSE(expected.empty()) << sql[0];
  EXPECT_EQ(r.lines, Lines{"OK"});
  EXPECT_TRUE(r.rows == expected) << sql[0];
  EXPECT_EQ(r.last.kind, Record::Kind::kEnd);
}

TEST(E2eSelect, FailuresReachTheClient) {
  E2eSystem sys;
  SelectClient client(sys);
  auto sbook = e2e::dictionary_fields(sys, "SBOOK");
  auto select = [&] {
    return "<sselect " + client.handles() + " data=\"Y\"><table name=\"SBOOK\"/></sselect>";
  };

  // R/3 reports a failure after the first chunk: an error record on the
  // data connection, the message on the request connection.
  e2e::add_fault(sys, "EMSG", "Database error in chunk two", 2);
  SelectResult r = client.run(select(), width_of(sbook));
  EXPECT_EQ(r.lines, (Lines{"OK", "E,Database error in chunk two"}));
  EXPECT_FALSE(r.rows.empty());
  EXPECT_LT(r.rows.size(), 2000u);
  EXPECT_EQ(r.last.kind, Record::Kind::kError);
  EXPECT_EQ(r.last.bytes.size(), width_of(sbook));

  // The dialog row limit: R/3's exception and the two lines that explain it.
  sys.r3sim().db().exec("INSERT OR REPLACE INTO ZSIM_CONFIG (NAME, VALUE) VALUES ('DIALOG_ROWLIMIT', '10')");
  r = client.run(select(), 0);
  ASSERT_EQ(r.lines.size(), 3u) << ::testing::PrintToString(r.lines);
  EXPECT_EQ(r.lines[0], "E,RFC Exception: DIALOG_ROWLIMIT_EXCEEDED");
  EXPECT_EQ(r.lines[1].rfind("E, Processing using SAP dialog work processes was stopped", 0), 0u);
  EXPECT_EQ(r.lines[2].rfind("E, in batch mode, increase the buffer size", 0), 0u);

  // A callback the server does not know ends the request.
  e2e::add_fault(sys, "CALLBACK", "Z_QOR_NO_SUCH_CALLBACK", 0);
  EXPECT_EQ(client.run(select(), 0).lines, Lines{"E,Unknown callback from R/3"});

  EXPECT_EQ(sys.failing_request("<sselect chandle=\"0000 nobody\"><table name=\"MARA\"/></sselect>"),
            Lines{"E,chandle is invalid"});
  EXPECT_EQ(sys.failing_request("<gselect chandle=\"" + client.chandle() +
                                "\"><field name=\"MATNR\"/></gselect>"),
            Lines{"E,gselect names no table"});
}

TEST(E2eSelect, UnlimitedDialogLiftsTheRowLimit) {
  E2eSystem sys(1, {"-U", "1", "-B", "30000"});
  sys.r3sim().db().exec("INSERT OR REPLACE INTO ZSIM_CONFIG (NAME, VALUE) VALUES ('DIALOG_ROWLIMIT', '10')");
  SelectClient client(sys);
  int64_t before = sys.last_call();
  auto fields = e2e::dictionary_fields(sys, "SBOOK", {"BOOKID"});
  SelectResult r = client.run("<sselect " + client.handles() + " data=\"Y\"><table name=\"SBOOK\"/>"
                              "<field name=\"BOOKID\"/></sselect>",
                              width_of(fields));
  EXPECT_EQ(r.lines, Lines{"OK"});
  EXPECT_EQ(r.rows.size(), 2000u);
  EXPECT_EQ(e2e::received_value(sys, before, "DIALOG_FLAG"), "X");
  EXPECT_EQ(e2e::received_value(sys, before, "BLOCKSIZE"), "00030000");
}

TEST(E2eSelect, AClientLeavingMidTransferStopsR3AndOthersGoOn) {
  E2eSystem sys;
  SelectClient client(sys);
  auto sbook = e2e::dictionary_fields(sys, "SBOOK");
  e2e::add_fault(sys, "CHUNK_DELAY", "", 20);
  int64_t before = sys.last_call();
  auto request = client.send("<sselect " + client.handles() +
                             " data=\"Y\"><table name=\"SBOOK\"/></sselect>");
  Record first;
  ASSERT_TRUE(client.data().read_record(width_of(sbook), first));
  client.data().close();
  Lines lines = request->read_until_closed();
  EXPECT_EQ(lines, (Lines{"OK", "E,Extraction stopped: the data connection was closed"}));
  Lines killed;
  for (const auto &c : sys.calls(before))
    if (c.rfind("CALLBACK Z_QOR_DATA_CHUNK|", 0) == 0 && c.size() > 14 &&
        c.substr(c.size() - 14) == "|KILLED_BY_QOR")
      killed.push_back(c);
  EXPECT_EQ(killed.size(), 1u) << ::testing::PrintToString(sys.calls(before));

  SelectClient other(sys);
  SelectResult r = other.run("<sselect " + other.handles() + " data=\"Y\"><table name=\"SCARR\"/>"
                             "</sselect>",
                             width_of(e2e::dictionary_fields(sys, "SCARR")));
  EXPECT_EQ(r.lines, Lines{"OK"});
  EXPECT_FALSE(r.rows.empty());
  EXPECT_EQ(r.last.kind, Record::Kind::kEnd);
}

TEST(E2eSelect, TwentyClientsExtractAtOnce) {
  E2eSystem sys;
  auto fields = e2e::dictionary_fields(sys, "SBOOK");
  std::string element_tail = " data=\"Y\"><table name=\"SBOOK\"/></sselect>";
  // The reference: one extraction alone, checked against the database.
  int64_t before = sys.last_call();
  Lines expected;
  {
    SelectClient alone(sys);
    SelectResult r = alone.run("<sselect " + alone.handles() + element_tail, width_of(fields));
    Lines sql = e2e::logged_sql(sys, before);
    ASSERT_EQ(sql.size(), 1u);
    expected = e2e::direct_rows(sys, sql[0], fields);
    ASSERT_TRUE(r.rows == expected);
  }
  std::hash<std::string> hash;
  std::string all;
  for (const auto &row : expected) all += row;
  const size_t checksum = hash(all);

  std::vector<std::thread> threads;
  std::vector<int> ok(20, 0);
  for (int i = 0; i < 20; ++i)
    threads.emplace_back([&, i] {
      SelectClient client(sys);
      SelectResult r = client.run("<sselect " + client.handles() + element_tail, width_of(fields));
      std::string data;
      for (const auto &row : r.rows) data += row;
      ok[i] = r.lines == Lines{"OK"} && r.last.kind == Record::Kind::kEnd && r.data_closed &&
              hash(data) == checksum;
    });
  for (auto &t : threads) t.join();
  for (int i = 0; i < 20; ++i) EXPECT_TRUE(ok[i]) << "client " << i;
}

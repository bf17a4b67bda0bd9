// The standard function modules of r3sim and the faults it raises on
// request, called through our RFC library.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "r3sim_process.h"
#include "call_lists.h"
#include "sapitab.h"

using r3sim::ParamList;
using r3sim::TableList;
using r3simtest::R3simProcess;
using r3simtest::text;

namespace {

class R3simModules : public ::testing::Test {
 protected:
  void SetUp() override { h_ = sim_.logon(); }
  void TearDown() override { RfcClose(h_); }

  RFC_RC call(const char *fn, ParamList &exp, ParamList &imp, TableList *tables,
              std::string *exception = nullptr) {
    char *exc = nullptr;
    RFC_RC rc = RfcCallReceive(h_, const_cast<char *>(fn), exp.get(), imp.get(),
                               tables ? tables->get() : nullptr, &exc);
    if (exception) *exception = exc ? exc : "";
    return rc;
  }

  struct ReadResult {
    RFC_RC rc;
    std::string exception;
    std::vector<std::string> fields, data;
  };
  ReadResult read_table(const std::string &table, std::vector<std::string> options,
                        std::vector<std::string> fields, char delimiter = ' ',
                        int32_t skips = 0, int32_t count = 0) {
    char query[30], delim[1] = {delimiter};
    r3sim::put_text(query, sizeof query, table);
    ParamList exp, imp;
    exp.add("QUERY_TABLE", query, 30).add("DELIMITER", delim, 1);
    exp.add("ROWSKIPS", &skips, 4, RFCTYPE_INT).add("ROWCOUNT", &count, 4, RFCTYPE_INT);
    TableList tables;
    ITAB_H opt = tables.add("OPTIONS", 72), fld = tables.add("FIELDS", 103);
    tables.add("DATA", 512);
    for (const auto &o : options) r3sim::put_text(static_cast<char *>(ItAppLine(opt)), 72, o);
    for (const auto &f : fields) r3sim::put_text(static_cast<char *>(ItAppLine(fld)), 103, f);
    ReadResult r;
    r.rc = call("RFC_READ_TABLE", exp, imp, &tables, &r.exception);
    for (unsigned i = 1; i <= ItFill(tables.at(1)); ++i)
      r.fields.push_back(std::string(static_cast<char *>(ItGetLine(tables.at(1), i)), 103));
    for (unsigned i = 1; i <= ItFill(tables.at(2)); ++i)
      r.data.push_back(text(static_cast<char *>(ItGetLine(tables.at(2), i)), 512));
    return r;
  }

  R3simProcess sim_;
  RFC_HANDLE h_ = RFC_HANDLE_NULL;
};

}  // namespace

TEST_F(R3simModules, PingAndConnectionEcho) {
  ParamList none, none2;
  EXPECT_EQ(call("RFC_PING", none, none2, nullptr), RFC_OK);
  char requ[255], echo[255], resp[255];
  r3sim::put_text(requ, sizeof requ, "Hello r3sim, with trailing text");
  ParamList exp, imp;
  exp.add("REQUTEXT", requ, sizeof requ);
  imp.add("ECHOTEXT", echo, sizeof echo).add("RESPTEXT", resp, sizeof resp);
  ASSERT_EQ(call("STFC_CONNECTION", exp, imp, nullptr), RFC_OK);
  EXPECT_EQ(text(echo, 255), "Hello r3sim, with trailing text");
  std::string r = text(resp, 255);
  EXPECT_NE(r.find("Sysid: QR1"), std::string::npos) << r;
  EXPECT_NE(r.find("Logon_Data: 800/DEMO/E"), std::string::npos) << r;
}

TEST_F(R3simModules, StructureRoundTripOfEveryField) {
  unsigned char in[144], echo[144];
  for (unsigned i = 0; i < sizeof in; ++i) in[i] = static_cast<unsigned char>(i * 7 + 1);
  double f = -1.25e10;
  int32_t i4 = -77777;
  int16_t i2 = -300;
  std::memcpy(in, &f, 8);
  std::memcpy(in + 10, &i2, 2);
  std::memcpy(in + 20, &i4, 4);
  ParamList exp, imp;
  exp.add("IMPORTSTRUCT", in, sizeof in, RFCTYPE_BYTE);
  char resp[255];
  imp.add("ECHOSTRUCT", echo, sizeof echo, RFCTYPE_BYTE).add("RESPTEXT", resp, sizeof resp);
  TableList tables;
  ITAB_H rows = tables.add("RFCTABLE", 144);
  std::memset(ItAppLine(rows), 'a', 144);
  ASSERT_EQ(call("STFC_STRUCTURE", exp, imp, &tables), RFC_OK);
  EXPECT_EQ(std::memcmp(echo, in, sizeof in), 0);
  ASSERT_EQ(ItFill(tables.at(0)), 2u);
  EXPECT_EQ(std::string(static_cast<char *>(ItGetLine(tables.at(0), 1)), 144), std::string(144, 'a'));
  EXPECT_EQ(std::memcmp(ItGetLine(tables.at(0), 2), in, sizeof in), 0);
}

TEST_F(R3simModules, ReadTableWithOptionsAndFields) {
  auto r = read_table("SPFLI", {"CARRID = 'QA' AND", "( DISTANCE > 100 OR FLTIME > 1 )"},
                      {"CARRID", "CONNID", "FLTIME", "DISTANCE"}, '|');
  ASSERT_EQ(r.rc, RFC_OK) << r.exception;
  ASSERT_EQ(r.fields.size(), 4u);
  EXPECT_EQ(r.fields[0].substr(0, 42), std::string("CARRID") + std::string(24, ' ') + "000000000003");
  EXPECT_EQ(r.fields[1].substr(30, 13), "000004000004N");
  EXPECT_EQ(r.fields[2].substr(30, 13), "000009000011I");
  EXPECT_EQ(r.fields[3].substr(30, 13), "000021000011P");
  EXPECT_EQ(text(r.fields[3].data() + 43, 60), "Distance");
  ASSERT_FALSE(r.data.empty());
  for (const auto &row : r.data) {
    EXPECT_EQ(row.substr(0, 4), "QA |") << row;
    EXPECT_EQ(row[8], '|');
    EXPECT_EQ(row[20], '|');
  }
  // Paging: skip and count.
  auto all = read_table("SBOOK", {}, {"BOOKID"});
  auto page = read_table("SBOOK", {}, {"BOOKID"}, ' ', 100, 7);
  ASSERT_EQ(all.data.size(), 2000u);
  ASSERT_EQ(page.data.size(), 7u);
  EXPECT_EQ(page.data[0], all.data[100]);
  // Every field when none is named; a table added with plain SQL is read.
  sim_.db().exec("CREATE TABLE ZNOTES (ID INTEGER, NOTE VARCHAR(20));"
                 "INSERT INTO ZNOTES VALUES (5, 'five'), (-6, 'minus six')");
  auto notes = read_table("znotes", {"NOTE LIKE '%six'"}, {});
  ASSERT_EQ(notes.data.size(), 1u);
  EXPECT_EQ(notes.data[0], "         6-minus six");
}

TEST_F(R3simModules, ReadTableExceptions) {
  EXPECT_EQ(read_table("NOSUCH", {}, {}).exception, "TABLE_NOT_AVAILABLE");
  EXPECT_EQ(read_table("RFCSI", {}, {}).exception, "TABLE_WITHOUT_DATA");
  EXPECT_EQ(read_table("USR02", {}, {}).exception, "NOT_AUTHORIZED");
  EXPECT_EQ(read_table("SCARR", {}, {"CARRID", "NOFIELD"}).exception, "FIELD_NOT_VALID");
  EXPECT_EQ(read_table("SCARR", {"CARRID = 'QA"}, {}).exception, "OPTION_NOT_VALID");
  EXPECT_EQ(read_table("SCARR", {"CARRID = 'QA'; DELETE FROM SCARR"}, {}).exception,
            "OPTION_NOT_VALID");
  EXPECT_EQ(read_table("SCARR", {}, {}).data.size(), 8u);
  // A wide generated table declared while r3sim runs: too wide as a whole,
  // readable field by field.
  sim_.db().exec("INSERT INTO DD02L (TABNAME, TABCLASS, GENROWS, GENWIDTH) VALUES ('ZWIDE', 'GENER', 3, 600)");
  auto wide = read_table("ZWIDE", {}, {});
  EXPECT_EQ(wide.rc, RFC_EXCEPTION);
  EXPECT_EQ(wide.exception, "DATA_BUFFER_EXCEEDED");
  auto rowno = read_table("ZWIDE", {"ROWNO >= 2"}, {"ROWNO"});
  ASSERT_EQ(rowno.rc, RFC_OK);
  EXPECT_EQ(rowno.data, (std::vector<std::string>{"0000000002", "0000000003"}));
  // The session goes on after exceptions.
  ParamList a, b;
  EXPECT_EQ(call("RFC_PING", a, b, nullptr), RFC_OK);
}

TEST_F(R3simModules, RaiseErrorExceptionAndSystemFailure) {
  char method[1] = {'2'};
  ParamList exp, imp;
  exp.add("METHOD", method, 1);
  std::string exception;
  EXPECT_EQ(call("RFC_RAISE_ERROR", exp, imp, nullptr, &exception), RFC_EXCEPTION);
  EXPECT_EQ(exception, "RAISE_EXCEPTION");
  method[0] = '3';
  EXPECT_EQ(call("RFC_RAISE_ERROR", exp, imp, nullptr, &exception), RFC_SYS_EXCEPTION);
  RFC_ERROR_INFO_EX err{};
  ASSERT_EQ(RfcLastErrorEx(&err), 0);
  EXPECT_EQ(err.group, RFC_ERROR_SYSTEM_FAILURE);
  EXPECT_NE(std::string(err.message).find("COMPUTE_INT_ZERODIVIDE\n"), std::string::npos);
  // The session is broken after a system failure.
  ParamList a, b;
  EXPECT_NE(call("RFC_PING", a, b, nullptr), RFC_OK);
}

TEST_F(R3simModules, FaultsTakeEffectWhileRunning) {
  ParamList a, b;
  std::string exception;
  sim_.db().exec("INSERT INTO ZSIM_FAULTS (FUNCNAME, FAULT, ARG, TIMES) VALUES "
                 "('RFC_PING', 'EXCEPTION', 'SIMULATED', 1)");
  EXPECT_EQ(call("RFC_PING", a, b, nullptr, &exception), RFC_EXCEPTION);
  EXPECT_EQ(exception, "SIMULATED");
  EXPECT_EQ(call("RFC_PING", a, b, nullptr), RFC_OK);  // used up
  sim_.db().exec("INSERT INTO ZSIM_FAULTS (FUNCNAME, FAULT, NTH, TIMES) VALUES ('RFC_PING', 'DELAY', 300, 1)");
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(call("RFC_PING", a, b, nullptr), RFC_OK);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  // An unknown module is a runtime error that ends the session.
  EXPECT_EQ(call("Z_NO_SUCH_MODULE", a, b, nullptr), RFC_SYS_EXCEPTION);
  RFC_ERROR_INFO_EX err{};
  RfcLastErrorEx(&err);
  EXPECT_STREQ(err.key, "FU_NOT_FOUND");
  RfcClose(h_);

  h_ = sim_.logon();
  sim_.db().exec("INSERT INTO ZSIM_FAULTS (FUNCNAME, FAULT) VALUES ('*', 'DROP')");
  EXPECT_EQ(call("STFC_CONNECTION", a, b, nullptr), RFC_FAILURE);
  RfcClose(h_);
  sim_.db().exec("DELETE FROM ZSIM_FAULTS");
  h_ = sim_.logon();
  EXPECT_EQ(call("RFC_PING", a, b, nullptr), RFC_OK);
}

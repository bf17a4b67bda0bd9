// How the select flow fails: errors in the EMSG of a chunk, the dialog row
// limit, the server stopping the extraction, and the faults on request.
#include <gtest/gtest.h>

#include <chrono>

#include "select_fixture.h"

using r3simtest::SelectAsk;
using r3simtest::SelectOutcome;
using r3simtest::SelectTest;

namespace {

// SCUSTOM's 4000 customers in records of 33 bytes, 30 to a chunk.
SelectAsk customers() {
  SelectAsk ask;
  ask.jdata = {"sselect", "T,SCUSTOM,,"};
  ask.mdata = {"SCUSTOM,ID,,,,", "SCUSTOM,NAME,,,,"};
  ask.blocksize = "00001000";
  return ask;
}

}  // namespace

TEST_F(SelectTest, ErrorsReachTheServerInOneChunkBeforeAnyOther) {
  struct Case {
    std::vector<std::string> jdata, mdata;
    std::string emsg;  // the whole message, or its start when it ends in "..."
  } cases[] = {
      {{"sselect", "T,ZNOPE,,"}, {"ZNOPE,*"}, "Table ZNOPE is not known"},
      {{"sselect", "T,MARA,,"}, {"MARA,MATNR,,,,", "MARA,NOPE,,,,"}, "Field MARA-NOPE is not known"},
      {{"sselect", "T,MARA,,", "W,1", "MATNR EQ"}, {"MARA,*"},
       "Bad WHERE clause: Field or literal expected at position 9"},
      {{"sselect", "T,MARA,,", "W,1", "NOPE EQ 'X'"}, {"MARA,*"},
       "Bad WHERE clause: Unknown field NOPE"},
      {{"sselect", "T,MARA,,", "OB,1", "MATNR NOPE"}, {"MARA,*"},
       "Bad ORDER BY clause: Unknown field NOPE at position 7"},
      {{"sselect", "T,MARA,,", "W,1", "COUNT( * ) GT 1"}, {"MARA,*"}, "SQL error: ..."},
      {{"sselect", "T,MARA,,"}, {"MARA,MATNR,,,median,"},
       "Aggregate median of field MATNR is not known"},
      {{"gselect", "W,1", "CARRID EQ 'PA'"}, {"SPFLI,CARRID,,,,"}, "No table given"},
      {{"gselect", "T,SCARR,,", "T,SPFLI,,outer"}, {"SPFLI,CARRID,,,,"},
       "Join type outer of table SPFLI is not known"},
      {{"gselect", "T,SCARR,,", "T,SPFLI,,", "O,1", "spfli~carrid EQ scarr~nope"},
       {"SPFLI,CARRID,,,,"}, "Bad join condition of table SPFLI: Unknown field SCARR~NOPE"},
      {{"sselect", "T,MARA,,", "W,3", "MATNR EQ 'X'"}, {"MARA,*"},
       "Clause W announces more lines than follow"},
      {{"gselect", "T,SCARR,,", "T,USR02,,"}, {"USR02,PASSWORD,,,,"},
       "No authorisation to read table USR02"},
  };
  for (const auto &c : cases) {
    SelectAsk ask;
    ask.jdata = c.jdata;
    ask.mdata = c.mdata;
    ask.func_flag = "B";
    ask.debug = "X";
    SelectOutcome o = driver_.run(ask);
    ASSERT_EQ(o.rc, RFC_OK) << o.error;
    ASSERT_EQ(o.callbacks, (std::vector<std::string>{"Z_QOR_GET_REQUEST_PARAMETERS",
                                                     "Z_QOR_DATA_CHUNK"}))
        << c.emsg;
    ASSERT_EQ(o.chunks.size(), 1u);
    if (c.emsg.size() > 3 && c.emsg.substr(c.emsg.size() - 3) == "...")
      EXPECT_EQ(o.chunks[0].emsg.substr(0, c.emsg.size() - 3), c.emsg.substr(0, c.emsg.size() - 3));
    else
      EXPECT_EQ(o.chunks[0].emsg.substr(0, c.emsg.size()), c.emsg) << o.chunks[0].emsg;
    EXPECT_EQ(o.chunks[0].rows, 0u);
    EXPECT_EQ(o.chunks[0].end_of_data, "X");
  }
}

TEST_F(SelectTest, DialogRowLimitRaisesAnExceptionUnlessLifted) {
  sim_.db().exec("INSERT OR REPLACE INTO ZSIM_CONFIG VALUES ('DIALOG_ROWLIMIT', '100')");
  SelectAsk ask = customers();
  SelectOutcome o = driver_.run(ask);
  EXPECT_EQ(o.rc, RFC_EXCEPTION);
  EXPECT_EQ(o.exception, "DIALOG_ROWLIMIT_EXCEEDED");
  // Rows sent before the limit stay sent; no chunk claims the end.
  EXPECT_EQ(o.rows, 90);
  for (const auto &c : o.chunks) EXPECT_EQ(c.end_of_data, " ");

  ask.dialog_flag = "X";
  o = driver_.run(ask);
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  EXPECT_EQ(o.rows, 4000);

  // Exactly the limit is still within it.
  sim_.db().exec("UPDATE ZSIM_CONFIG SET VALUE = '4000' WHERE NAME = 'DIALOG_ROWLIMIT'");
  ask.dialog_flag = "";
  o = driver_.run(ask);
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  EXPECT_EQ(o.rows, 4000);
}

TEST_F(SelectTest, KilledByTheServerStopsAtOnceAndTheSessionGoesOn) {
  SelectAsk ask = customers();
  ask.kill_chunk = 2;
  SelectOutcome o = driver_.run(ask);
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  EXPECT_EQ(o.chunks.size(), 2u);
  EXPECT_EQ(logged("CALLBACK", "Z_QOR_DATA_CHUNK"),
            (std::vector<std::string>{"CHUNK=2\nROWS=60|KILLED_BY_QOR"}));
  EXPECT_EQ(logged("SQL", "/QOR/Z_QOR_DIALOG").back().substr(
                logged("SQL", "/QOR/Z_QOR_DIALOG").back().rfind('|')),
            "|STOPPED");

  ask.kill_chunk = 0;
  o = driver_.run(ask);
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  EXPECT_EQ(o.rows, 4000);
  EXPECT_EQ(logged("CALLBACK", "Z_QOR_DATA_CHUNK").back(), "CHUNK=134\nROWS=4000|OK");
}

TEST_F(SelectTest, FaultsOnRequest) {
  auto fault = [this](const std::string &kind, const std::string &arg, int nth) {
    r3sim::Stmt s = sim_.db().prepare(
        "INSERT INTO ZSIM_FAULTS (FUNCNAME, FAULT, ARG, NTH, TIMES) "
        "VALUES ('/QOR/Z_QOR_DIALOG', ?, ?, ?, 1)");
    s.bind(1, kind).bind(2, arg).bind(3, int64_t{nth}).step();
  };
  // EMSG in the second chunk instead of its rows.
  fault("EMSG", "Disk on fire", 2);
  SelectOutcome o = driver_.run(customers());
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  ASSERT_EQ(o.chunks.size(), 2u);
  EXPECT_EQ(o.chunks[0].rows, 30u);
  EXPECT_EQ(o.chunks[1].rows, 0u);
  EXPECT_EQ(o.chunks[1].emsg, "Disk on fire");
  EXPECT_EQ(o.chunks[1].end_of_data, "X");

  // An unknown callback before the data; its outcome ends the module.
  fault("CALLBACK", "Z_QOR_NO_SUCH", 0);
  o = driver_.run(customers());
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  EXPECT_EQ(o.callbacks,
            (std::vector<std::string>{"Z_QOR_GET_REQUEST_PARAMETERS", "Z_QOR_NO_SUCH"}));
  fault("CALLBACK", "Z_QOR_NO_SUCH", 0);
  SelectAsk ask = customers();
  ask.raise_unknown = "FUNCTION_NOT_KNOWN";
  o = driver_.run(ask);
  EXPECT_EQ(o.rc, RFC_SYS_EXCEPTION);
  EXPECT_NE(o.error.find("Z_QOR_NO_SUCH"), std::string::npos) << o.error;
  EXPECT_TRUE(o.chunks.empty());

  // A delay before each of the chunks.
  fault("CHUNK_DELAY", "", 100);
  ask = customers();
  ask.blocksize = "00050000";  // 3 chunks
  auto start = std::chrono::steady_clock::now();
  o = driver_.run(ask);
  auto took = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  EXPECT_EQ(o.chunks.size(), 3u);
  EXPECT_GE(took, std::chrono::milliseconds(300));

  // The connection dropped instead of the second chunk.
  fault("CHUNK_DROP", "", 2);
  o = driver_.run(customers());
  EXPECT_EQ(o.rc, RFC_FAILURE);
  EXPECT_EQ(o.chunks.size(), 1u);
  EXPECT_EQ(logged("CALLBACK", "Z_QOR_DATA_CHUNK").back(), "CHUNK=2\nROWS=30|DROPPED");
  // Each fault fired once: the next call is served in full.
  o = driver_.run(customers());
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  EXPECT_EQ(o.rows, 4000);
}

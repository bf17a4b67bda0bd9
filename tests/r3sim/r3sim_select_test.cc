// The dialog module's select flow: single-table selects, metadata and the
// chunking of the rows, driven as the server drives it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "child_process.h"
#include "select_fixture.h"

using r3simtest::SelectAsk;
using r3simtest::SelectOutcome;
using r3simtest::SelectTest;

TEST_F(SelectTest, SingleTableReadGivesTheTableInKeyOrderWithItsMetadata) {
  SelectAsk ask;
  ask.jdata = {"sselect", "T,MARA,,"};
  ask.mdata = {"MARA,*"};
  ask.func_flag = "B";
  SelectOutcome o = driver_.run(ask);
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  ASSERT_GE(o.callbacks.size(), 3u);
  EXPECT_EQ(o.callbacks[0], "Z_QOR_GET_REQUEST_PARAMETERS");
  EXPECT_EQ(o.callbacks[1], "Z_QOR_MDATA");
  EXPECT_EQ(o.callbacks[2], "Z_QOR_DATA_CHUNK");

  // Every type of the layout occurs in MARA: s aligned on 2, F on 8.
  auto expected = direct("SELECT * FROM MARA ORDER BY MANDT, MATNR", "MARA",
                         {"MANDT", "MATNR", "ERSDA", "ERNAM", "LAEDA", "MTART", "MATKL", "MEINS",
                          "BRGEW", "NTGEW", "GEWEI", "MHDHB", "DENSITY", "MATGUID", "CRTIME"});
  ASSERT_EQ(expected.size(), 500u);
  EXPECT_EQ(o.records(), expected);
  EXPECT_EQ(o.chunks[0].width, expected[0].size());
  ASSERT_EQ(o.metadata.size(), 15u);
  EXPECT_EQ(o.metadata[0], "MARA,MANDT,,C,0,3,0,Client");
  EXPECT_EQ(o.metadata[8], "MARA,BRGEW,,P,65,7,3,Gross weight");
  EXPECT_EQ(o.metadata[11], "MARA,MHDHB,,s,82,2,0,Total shelf life in days");
  EXPECT_EQ(o.metadata[12], "MARA,DENSITY,,F,88,8,0,Density in kg per litre");
  EXPECT_EQ(o.metadata[14], "MARA,CRTIME,,T,112,6,0,Time created");
  for (const auto &c : o.chunks) {
    EXPECT_EQ(c.dhandle, "4711");
    EXPECT_EQ(c.table_name, "MARA");
    EXPECT_EQ(c.emsg, "");
    EXPECT_EQ(c.end_of_data, &c == &o.chunks.back() ? "X" : " ");
  }
}

TEST_F(SelectTest, FieldsWhereAndOrderByAreTheSelectsOwn) {
  SelectAsk ask;
  ask.jdata = {"sselect",
               "T,SFLIGHT,,",
               "W,2",
               "carrid EQ 'PA' AND",
               "price GT 1000",
               "OB,1",
               "FLDATE DESCENDING CONNID"};
  ask.mdata = {"SFLIGHT,CARRID,,,,", "SFLIGHT,CONNID,,,,", "SFLIGHT,FLDATE,,,,",
               "SFLIGHT,PRICE,,,,"};
  SelectOutcome o = driver_.run(ask);
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  EXPECT_TRUE(o.metadata.empty());
  auto expected = direct(
      "SELECT CARRID, CONNID, FLDATE, PRICE FROM SFLIGHT WHERE CARRID = 'PA' AND PRICE > 1000 "
      "ORDER BY FLDATE DESC, CONNID",
      "SFLIGHT", {"CARRID", "CONNID", "FLDATE", "PRICE"});
  ASSERT_GT(expected.size(), 1u);
  EXPECT_EQ(o.records(), expected);
  ASSERT_EQ(statements().size(), 1u);
  EXPECT_EQ(direct(statements()[0], "SFLIGHT", {"CARRID", "CONNID", "FLDATE", "PRICE"}), expected);
  EXPECT_NE(statements()[0].find("'PA'"), std::string::npos) << statements()[0];
}

TEST_F(SelectTest, MetadataOnlyOrNothingAsFuncFlagAsks) {
  SelectAsk ask;
  ask.jdata = {"sselect", "T,SPFLI,S,"};
  ask.mdata = {"S,CARRID,airline,,,", "SPFLI,FLTIME,,,,", "SPFLI,DISTANCE,,,,"};
  ask.func_flag = "M";
  SelectOutcome o = driver_.run(ask);
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  EXPECT_EQ(o.callbacks, (std::vector<std::string>{"Z_QOR_GET_REQUEST_PARAMETERS", "Z_QOR_MDATA"}));
  EXPECT_EQ(o.metadata, (std::vector<std::string>{"SPFLI,CARRID,airline,C,0,3,0,Airline code",
                                                  "SPFLI,FLTIME,,I,4,4,0,Flight time in minutes",
                                                  "SPFLI,DISTANCE,,P,8,5,4,Distance"}));
  ask.func_flag = "";
  o = driver_.run(ask);
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  EXPECT_EQ(o.callbacks, (std::vector<std::string>{"Z_QOR_GET_REQUEST_PARAMETERS"}));
  EXPECT_TRUE(statements().empty());
}

TEST_F(SelectTest, EmptyResultIsOneChunkWithoutRowsOfTheRecordWidth) {
  SelectAsk ask;
  ask.jdata = {"sselect", "T,SPFLI,,", "W,1", "CARRID EQ 'XX'"};
  ask.mdata = {"SPFLI,CARRID,,,,", "SPFLI,FLTIME,,,,"};
  SelectOutcome o = driver_.run(ask);
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  ASSERT_EQ(o.chunks.size(), 1u);
  EXPECT_EQ(o.chunks[0].rows, 0u);
  EXPECT_EQ(o.chunks[0].width, 8u);  // C 3, gap, I 4
  EXPECT_EQ(o.chunks[0].end_of_data, "X");
  EXPECT_EQ(o.chunks[0].emsg, "");
}

TEST_F(SelectTest, ChunksHoldAsManyRowsAsBlocksizeAllows) {
  // SCUSTOM: 4000 rows; ID and NAME make 33-byte records.
  SelectAsk ask;
  ask.jdata = {"sselect", "T,SCUSTOM,,"};
  ask.mdata = {"SCUSTOM,ID,,,,", "SCUSTOM,NAME,,,,"};
  struct Case {
    const char *blocksize;
    unsigned per_chunk;
  } cases[] = {{"00001000", 30}, {"00000010", 1}, {"00000000", 65536 / 33}, {"00132000", 4000}};
  for (const auto &c : cases) {
    ask.blocksize = c.blocksize;
    SelectOutcome o = driver_.run(ask);
    ASSERT_EQ(o.rc, RFC_OK) << o.error;
    EXPECT_EQ(o.rows, 4000) << c.blocksize;
    ASSERT_EQ(o.chunks.size(), (4000 + c.per_chunk - 1) / c.per_chunk) << c.blocksize;
    for (size_t i = 0; i + 1 < o.chunks.size(); ++i) {
      EXPECT_EQ(o.chunks[i].rows, c.per_chunk) << c.blocksize;
      EXPECT_EQ(o.chunks[i].end_of_data, " ");
    }
    EXPECT_EQ(o.chunks.back().end_of_data, "X");
    EXPECT_EQ(o.chunks.back().width, 33u);
  }
}

TEST_F(SelectTest, DebugSendsTheGeneratedStatementBeforeTheData) {
  SelectAsk ask;
  ask.jdata = {"sselect", "T,SCARR,,", "W,1", "CARRNAME LIKE '%Air%'"};
  ask.mdata = {"SCARR,CARRID,,,,", "SCARR,URL,,,,"};
  ask.debug = "X";
  SelectOutcome o = driver_.run(ask);
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  ASSERT_GE(o.callbacks.size(), 3u);
  EXPECT_EQ(o.callbacks[1], "Z_QOR_GENPROG");
  ASSERT_EQ(statements().size(), 1u);
  std::string joined;
  for (const auto &l : o.program) joined += l;
  EXPECT_EQ(joined, statements()[0]);
}

TEST_F(SelectTest, GeneratedTablesOfAnyWidthStream) {
  sim_.db().exec(
      "INSERT INTO DD02L (TABNAME, TABCLASS, GENROWS, GENWIDTH) VALUES ('ZWIDE', 'GENER', 5000, "
      "1000)");
  SelectAsk ask;
  ask.jdata = {"sselect", "T,ZWIDE,,", "W,1", "ROWNO GT 4990"};
  ask.mdata = {"ZWIDE,*"};
  ask.func_flag = "B";
  SelectOutcome o = driver_.run(ask);
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  ASSERT_EQ(o.rows, 10);
  EXPECT_EQ(o.chunks[0].width, 1000u);
  EXPECT_EQ(o.records()[0].substr(0, 10), "0000004991");
  EXPECT_EQ(o.metadata, (std::vector<std::string>{"ZWIDE,ROWNO,,N,0,10,0,Row number",
                                                  "ZWIDE,DATA,,C,10,990,0,Generated text"}));

  // Rows computed without SQL are the rows SQL gives, for every type.
  sim_.db().exec(
      "INSERT INTO DD02L (TABNAME, TABCLASS, GENROWS, GENWIDTH) VALUES ('ZALL', 'GENER', 300, 0);"
      "INSERT INTO DD03L (TABNAME, FIELDNAME, POSITION, INTTYPE, INTLEN, DECIMALS) VALUES "
      "('ZALL', 'ROWNO', 1, 'N', 6, 0), ('ZALL', 'C', 2, 'C', 7, 0), ('ZALL', 'D', 3, 'D', 8, 0),"
      "('ZALL', 'T', 4, 'T', 6, 0), ('ZALL', 'X', 5, 'X', 4, 0), ('ZALL', 'I', 6, 'I', 4, 0),"
      "('ZALL', 'S', 7, 's', 2, 0), ('ZALL', 'B', 8, 'b', 1, 0), ('ZALL', 'F', 9, 'F', 8, 0),"
      "('ZALL', 'P', 10, 'P', 5, 2)");
  ask.jdata = {"sselect", "T,ZALL,,"};
  ask.mdata = {"ZALL,*"};
  SelectOutcome computed = driver_.run(ask);
  ask.jdata = {"sselect", "T,ZALL,,", "W,1", "ROWNO GE 0"};
  o = driver_.run(ask);
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  ASSERT_EQ(o.rows, 300);
  EXPECT_EQ(computed.records(), o.records());
  EXPECT_EQ(computed.chunks[0].width, 56u);

  // The seeded million rows, counted as they arrive: the module's pace.
  ask.jdata = {"sselect", "T,ZSIM_GEN,,"};
  ask.mdata = {"ZSIM_GEN,*"};
  ask.func_flag = "D";
  ask.keep_rows = false;
  auto start = std::chrono::steady_clock::now();
  o = driver_.run(ask);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  EXPECT_EQ(o.rows, 1000000);
  EXPECT_EQ(o.chunks.size(), (1000000 + 654) / 655);
  std::printf("ZSIM_GEN: %lld rows of 100 bytes in %.2f s, %.0f rows/s\n",
              static_cast<long long>(o.rows), seconds, o.rows / seconds);
}

namespace {


// Peak resident memory of a process in KiB (VmHWM).
long peak_kib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

}  // namespace

TEST_F(SelectTest, LargeExtractionsStreamInFlatMemory) {
  if (qtest::kSanitizerBuild) GTEST_SKIP() << "the sanitizer's quarantine keeps freed chunks";
  // 256 MiB through the SQL path (a condition) and the computed path.
  sim_.db().exec(
      "INSERT INTO DD02L (TABNAME, TABCLASS, GENROWS, GENWIDTH) VALUES ('ZBIG', 'GENER', 524288, "
      "512)");
  SelectAsk ask;
  ask.jdata = {"sselect", "T,ZBIG,,", "W,1", "ROWNO LE 2000"};
  ask.mdata = {"ZBIG,*"};
  ask.keep_rows = false;
  ASSERT_EQ(driver_.run(ask).rows, 2000);
  long before = peak_kib(sim_.process().pid());
  ASSERT_GT(before, 0);
  auto timed = [&](const char *path) {
    auto start = std::chrono::steady_clock::now();
    int64_t rows = driver_.run(ask).rows;
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("ZBIG %s: %lld rows of 512 bytes, %.0f rows/s\n", path,
                static_cast<long long>(rows), rows / s);
    return rows;
  };
  ask.jdata = {"sselect", "T,ZBIG,,", "W,1", "ROWNO GT 262144"};
  EXPECT_EQ(timed("through SQL"), 262144);
  ask.jdata = {"sselect", "T,ZBIG,,"};
  EXPECT_EQ(timed("computed"), 524288);
  EXPECT_LT(peak_kib(sim_.process().pid()) - before, 32 * 1024);
}

// The dialog module's select flow: single-table selects, metadata and the
// chunking of the rows, driven as the server drives it.
#include <gtest/gtest.h>

#include <cstring>

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

// The pieces every RFC exchange is built from: the function's entries and
// the table wrapper's formatted rows and read cursor.
#include <gtest/gtest.h>

#include <string>

#include "qorrfc_function.h"
#include "qorrfc_grp_function_cbf.h"
#include "qorrfc_itab.h"
#include "sapitab.h"

namespace {

TEST(Itab, AppendLineBlankFillsAndCutsAtTheRowWidth) {
  Qorrfc_Itab table(ITAB_NULL, Qorrfc_Itab::DELETE_TABLE);
  ASSERT_EQ(table.create("T", 8, 4), 0);
  table.append_line("%s,%d", "ab", 7);
  table.append_line("%s", "0123456789");
  table.append_line("%s", "");
  ASSERT_EQ(table.rows(), 3u);
  EXPECT_EQ(std::string(table.row(1), 8), "ab,7    ");
  EXPECT_EQ(std::string(table.row(2), 8), std::string("0123456\0", 8));
  EXPECT_EQ(std::string(table.row(3), 8), "        ");
  EXPECT_EQ(table.row(4), nullptr);
  std::vector<char> packed = table.packed_rows(true);
  ASSERT_EQ(packed.size(), 27u);
  EXPECT_EQ(packed[8], 1);
  EXPECT_EQ(std::string(packed.data() + 9, 8), std::string("0123456\0", 8));
}

TEST(Itab, ReadStopsAtRowEndsAndMovesOn) {
  Qorrfc_Itab table(ITAB_NULL, Qorrfc_Itab::DELETE_TABLE);
  ASSERT_EQ(table.create("T", 4, 2), 0);
  table.append_line("%s", "abcd");
  table.append_line("%s", "efg");
  char out[8];
  EXPECT_EQ(table.read(out, 3), 3u);
  EXPECT_EQ(std::string(out, 3), "abc");
  EXPECT_EQ(table.read(out, 8), 1u);
  EXPECT_EQ(table.read(out, 8), 4u);
  EXPECT_EQ(std::string(out, 4), "efg ");
  EXPECT_EQ(table.read(out, 8), 0u);
  table.clear();
  EXPECT_EQ(table.rows(), 0u);
}

TEST(Function, TablesByNameAndExportingValues) {
  Qorrfc_Function f("F");
  Qorrfc_Table a("A", RFCTYPE_CHAR, 10), b("B", RFCTYPE_BYTE, 4);
  EXPECT_EQ(f.add_table(&a), 0);
  EXPECT_EQ(f.add_table(&b), 1);
  EXPECT_EQ(f.table_index("B"), 1);
  EXPECT_EQ(f.table_index("NEVER_ADDED"), 0);
  EXPECT_STREQ(f.table_name(1), "B");
  char value[] = "hello";
  Qorrfc_Parameter p("P", nullptr, 0);
  EXPECT_EQ(f.add_exporting(&p), 0);
  f.set_exporting_value(0, value, -1);
  EXPECT_EQ(p.length(), 5u);
  EXPECT_EQ(p.address(), value);
}

TEST(GrpFunction, FuncFlagFromMetadataAndData) {
  EXPECT_EQ(Qorrfc_Grp_Function_Cbf::func_flag('Y', 'N'), 'M');
  EXPECT_EQ(Qorrfc_Grp_Function_Cbf::func_flag('Y', 'Y'), 'B');
  EXPECT_EQ(Qorrfc_Grp_Function_Cbf::func_flag('N', 'Y'), 'D');
  EXPECT_EQ(Qorrfc_Grp_Function_Cbf::func_flag('N', 'N'), ' ');
}

}  // namespace

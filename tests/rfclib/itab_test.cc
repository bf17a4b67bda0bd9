// Internal tables: rows counted from 1, row addresses that stay put while
// the table grows, deletion, emptying.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sapitab.h"

TEST(ItabTest, RowsKeepTheirAddressesWhileTheTableGrows) {
  ITAB_H t = ItCreate(const_cast<char *>("T"), 100, 4, 0);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(ItLeng(t), 100u);
  std::vector<char *> rows;
  for (int i = 0; i < 5000; ++i) {
    char *p = static_cast<char *>(ItAppLine(t));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[99], 0);  // new rows are zero-filled
    std::snprintf(p, 100, "row %d", i + 1);
    rows.push_back(p);
  }
  EXPECT_EQ(ItFill(t), 5000u);
  for (unsigned i = 1; i <= 5000; ++i) ASSERT_EQ(ItGetLine(t, i), rows[i - 1]);
  EXPECT_STREQ(static_cast<char *>(ItGetLine(t, 1)), "row 1");
  EXPECT_EQ(ItGetLine(t, 0), nullptr);
  EXPECT_EQ(ItGetLine(t, 5001), nullptr);

  // Deleting a row moves the later rows up by one index, not in memory.
  EXPECT_EQ(ItDelLine(t, 2), 0);
  EXPECT_EQ(ItFill(t), 4999u);
  EXPECT_EQ(ItGetLine(t, 2), rows[2]);
  EXPECT_EQ(ItGetLine(t, 1), rows[0]);
  EXPECT_NE(ItDelLine(t, 5000), 0);

  char buf[100];
  EXPECT_EQ(ItCpyLine(t, 2, buf), 0);
  EXPECT_STREQ(buf, "row 3");
  EXPECT_EQ(ItCpyLine(t, 9999, buf), -1);
  std::strcpy(buf, "changed");
  EXPECT_EQ(ItPutLine(t, 1, buf), 0);
  EXPECT_STREQ(static_cast<char *>(ItGupLine(t, 1)), "changed");
  EXPECT_EQ(ItPutLine(t, 0, buf), -1);

  EXPECT_EQ(ItFree(t), 0);
  EXPECT_EQ(ItFill(t), 0u);
  EXPECT_EQ(ItLeng(t), 100u);
  EXPECT_NE(ItAppLine(t), nullptr);
  EXPECT_EQ(ItFill(t), 1u);
  EXPECT_EQ(ItDelete(t), 0);
}

TEST(ItabTest, NullHandlesAreHarmless) {
  EXPECT_EQ(ItFill(ITAB_NULL), 0u);
  EXPECT_EQ(ItLeng(ITAB_NULL), 0u);
  EXPECT_EQ(ItAppLine(ITAB_NULL), nullptr);
  EXPECT_EQ(ItGetLine(ITAB_NULL, 1), nullptr);
  EXPECT_EQ(ItDelete(ITAB_NULL), 0);
}

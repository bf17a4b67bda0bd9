// Internal tables: rows counted from 1, row addresses that stay put while
// the table grows, deletion, emptying.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "rfc_itab.h"
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

// The runs a table is sent in hold every row once, in order, whatever
// mix of blocks, received rows and deletions lies behind them.
TEST(ItabTest, RunsCoverEveryRowInOrder) {
  auto runs_of = [](const rfcl::Itab &t, size_t *count) {
    std::string bytes;
    *count = 0;
    t.for_each_run([&](const char *p, size_t n) {
      bytes.append(p, n);
      ++*count;
    });
    return bytes;
  };
  auto rows_of = [](const rfcl::Itab &t) {
    std::string bytes;
    for (unsigned i = 1; i <= t.fill(); ++i) bytes.append(t.line(i), t.leng());
    return bytes;
  };
  rfcl::Itab t("T", 8, 4);
  size_t runs = 0;
  for (int i = 0; i < 3; ++i) std::snprintf(t.append(), 8, "own%d", i);
  EXPECT_EQ(runs_of(t, &runs), rows_of(t));
  EXPECT_EQ(runs, 1u);
  // A received frame's rows follow the table's own block elsewhere.
  std::shared_ptr<char> frame(new char[32], std::default_delete<char[]>());
  std::memcpy(frame.get(), "frame-0\0frame-1\0frame-2\0frame-3\0", 32);
  t.adopt_rows(frame, frame.get(), 4);
  EXPECT_EQ(runs_of(t, &runs), rows_of(t));
  EXPECT_EQ(runs, 2u);
  // More own rows than the first block holds.
  for (int i = 3; i < 40; ++i) std::snprintf(t.append(), 8, "own%d", i);
  EXPECT_EQ(runs_of(t, &runs), rows_of(t));
  EXPECT_GE(runs, 3u);
  // Deleting rows splits runs, deleting the last keeps them.
  ASSERT_TRUE(t.remove(2));
  ASSERT_TRUE(t.remove(t.fill()));
  EXPECT_EQ(runs_of(t, &runs), rows_of(t));
  EXPECT_EQ(t.fill(), 42u);
  t.clear();
  EXPECT_EQ(runs_of(t, &runs), "");
  EXPECT_EQ(runs, 0u);
  for (int i = 0; i < 3; ++i) std::snprintf(t.append(), 8, "new%d", i);
  EXPECT_EQ(runs_of(t, &runs), rows_of(t));
  EXPECT_EQ(runs, 1u);
  // A row deleted from the middle of one run splits it in two.
  ASSERT_TRUE(t.remove(2));
  EXPECT_EQ(runs_of(t, &runs), rows_of(t));
  EXPECT_EQ(runs, 2u);
  ASSERT_TRUE(t.remove(1));
  EXPECT_EQ(runs_of(t, &runs), rows_of(t));
  EXPECT_EQ(runs, 1u);
  // Rows of no width are never one run.
  rfcl::Itab empty("E", 0, 0);
  empty.append();
  empty.append();
  EXPECT_EQ(runs_of(empty, &runs), "");
  EXPECT_EQ(runs, 2u);
}

TEST(ItabTest, NullHandlesAreHarmless) {
  EXPECT_EQ(ItFill(ITAB_NULL), 0u);
  EXPECT_EQ(ItLeng(ITAB_NULL), 0u);
  EXPECT_EQ(ItAppLine(ITAB_NULL), nullptr);
  EXPECT_EQ(ItGetLine(ITAB_NULL, 1), nullptr);
  EXPECT_EQ(ItDelete(ITAB_NULL), 0);
}

// The gathered writer: small ranges are staged and merged, large ones go
// out where they lie; either way the bytes arrive complete and in order.
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "qorrfc_gather_writer.h"

namespace {

// Writes through a socket pair while a thread reads everything back.
std::string through_socket(const std::function<void(Qorrfc_Gather_Writer &)> &write) {
  int fds[2];
  EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  std::string got;
  std::thread reader([&] {
    char buf[65536];
    ssize_t n;
    while ((n = ::read(fds[1], buf, sizeof buf)) > 0) got.append(buf, static_cast<size_t>(n));
  });
  {
    Qorrfc_Gather_Writer out(fds[0]);
    write(out);
    EXPECT_EQ(out.flush(), 0);
  }
  ::shutdown(fds[0], SHUT_WR);
  reader.join();
  ::close(fds[0]);
  ::close(fds[1]);
  return got;
}

TEST(GatherWriter, MixedRangesArriveInOrderAcrossStageAndRangeLimits) {
  // Records of a 100-byte row and a flag byte, added as a record or as two
  // ranges, with now and then a row too large to stage: far more than one staging block and more ranges
  // than one list holds.
  std::string big(1000, 'B');
  std::string rows;
  for (int i = 0; i < 100; ++i) rows += std::string(100, static_cast<char>('a' + i % 26));
  const char flag = 0x01;
  std::string want;
  std::string got = through_socket([&](Qorrfc_Gather_Writer &out) {
    for (int i = 0; i < 30000; ++i) {
      const char *row = rows.data() + (i % 100) * 100;
      // Half of the records go through add_record's staged path.
      if (i % 2) {
        out.add_record(row, 100, 100, flag);
      } else {
        out.add(row, 100);
        out.add(&flag, 1);
      }
      want.append(row, 100);
      want += flag;
      if (i % 1000 == 999) {
        out.add(big.data(), big.size());
        want += big;
      }
    }
  });
  ASSERT_EQ(got.size(), want.size());
  EXPECT_TRUE(got == want);
}

TEST(GatherWriter, RecordsAreCutOrZeroFilledToTheirWidthBeforeTheFlag) {
  std::string wide(1000, 'w'), narrow = "abc";
  std::string got = through_socket([&](Qorrfc_Gather_Writer &out) {
    EXPECT_EQ(out.add_record(narrow.data(), narrow.size(), 5, 0x01), 0);  // filled
    EXPECT_EQ(out.add_record(narrow.data(), narrow.size(), 2, 0x00), 0);  // cut
    EXPECT_EQ(out.add_record(nullptr, 0, 3, 'X'), 0);                      // no row
    EXPECT_EQ(out.add_record(wide.data(), wide.size(), 1000, 0x00), 0);    // not staged
    EXPECT_EQ(out.add_record(narrow.data(), narrow.size(), 600, 0x01), 0); // filled past a stage piece
  });
  std::string want = std::string("abc\0\0\1", 6) + std::string("ab\0", 3) + std::string("\0\0\0X", 4) +
                     wide + std::string(1, '\0') + "abc" + std::string(597, '\0') + "\1";
  ASSERT_EQ(got.size(), want.size());
  EXPECT_TRUE(got == want);
}

}  // namespace

// Handles: the serial digits, then 128 random bits in hex.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "qorrfc_handle_name.h"
#include "text_match.h"

namespace {

std::string make(unsigned short serial) {
  char handle[Qorrfc_Handle_Name::MAX_LEN + 1];
  char serial_text[8];
  EXPECT_EQ(Qorrfc_Handle_Name::compose(serial, handle, serial_text), 0);
  return handle;
}

TEST(HandleName, SerialDigitsAreTheLastFourOfTheZeroPaddedNumber) {
  char handle[Qorrfc_Handle_Name::MAX_LEN + 1];
  char serial_text[8];
  ASSERT_EQ(Qorrfc_Handle_Name::compose(65535, handle, serial_text), 0);
  EXPECT_STREQ(serial_text, "65535");
  EXPECT_EQ(std::string(handle).substr(0, 6), "55350x");
  ASSERT_EQ(Qorrfc_Handle_Name::compose(7, handle, serial_text), 0);
  EXPECT_STREQ(serial_text, "0007");
  EXPECT_EQ(std::string(handle).substr(0, 6), "00070x");
}

TEST(HandleName, TenThousandHandlesAreDistinctAndWellFormed) {
  std::set<std::string> seen;
  for (int i = 0; i < 10000; ++i) {
    std::string h = make(static_cast<unsigned short>(i));
    ASSERT_TRUE(qtest::is_handle(h)) << h;
    ASSERT_TRUE(seen.insert(h).second) << "duplicate " << h;
  }
}

TEST(HandleName, NeighbouringHandlesShareNothingBeyondTheSerialDigits) {
  // With independent random parts two handles agree in the first hex digit
  // after "0x" one time in sixteen; an address-like part would agree in
  // many leading digits every time.
  const size_t random_at = 6;
  std::string previous = make(1);
  size_t total_common = 0, longest = 0;
  const int pairs = 4000;
  for (int i = 2; i < pairs + 2; ++i) {
    std::string h = make(static_cast<unsigned short>(i));
    size_t common = 0;
    while (random_at + common < h.size() && h[random_at + common] == previous[random_at + common])
      ++common;
    total_common += common;
    longest = std::max(longest, common);
    previous = h;
  }
  double mean = static_cast<double>(total_common) / pairs;
  EXPECT_LT(mean, 0.15);  // expected 1/15
  EXPECT_LT(longest, 8u);
}

}  // namespace

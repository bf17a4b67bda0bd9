// The input stream over a message-block chain: prefix first, never mixed
// with message bytes in one read; empty blocks passed over; the chain is
// consumed.
#include <ace/Message_Block.h>
#include <gtest/gtest.h>

#include <string>

#include "acemb_input_stream.h"

namespace {

std::string read(ACEMBInputStream &stream, size_t max) {
  XMLByte buffer[64];
  XMLSize_t n = stream.readBytes(buffer, max);
  return std::string(reinterpret_cast<char *>(buffer), n);
}

TEST(InputStream, PrefixThenBlocksInOrder) {
  ACE_Message_Block first(8), empty(4), last(8);
  first.copy("abc", 3);
  last.copy("defgh", 5);
  first.cont(&empty);
  empty.cont(&last);
  const char prefix[] = "<p>";
  ACEMBInputStream stream(&first, prefix, 3);
  EXPECT_EQ(read(stream, 2), "<p");
  EXPECT_EQ(read(stream, 10), ">");
  EXPECT_EQ(read(stream, 10), "abc");
  EXPECT_EQ(read(stream, 3), "def");
  EXPECT_EQ(read(stream, 10), "gh");
  EXPECT_EQ(read(stream, 10), "");
  EXPECT_EQ(first.length(), 0u);
  EXPECT_EQ(last.length(), 0u);
  EXPECT_EQ(stream.curPos(), 0u);
  first.cont(nullptr);
  empty.cont(nullptr);
}

TEST(InputStream, WithoutPrefixAndEmptyChain) {
  ACE_Message_Block only(4);
  ACEMBInputStream stream(&only, nullptr, 0);
  EXPECT_EQ(read(stream, 10), "");
  only.copy("x", 1);
  ACEMBInputStream again(&only, nullptr, 0);
  EXPECT_EQ(read(again, 10), "x");
}

}  // namespace

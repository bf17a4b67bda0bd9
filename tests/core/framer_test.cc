// The framing rule, chunk by chunk, without sockets.
#include <ace/Message_Block.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qorrfc_framer.h"

namespace {

ACE_Message_Block *chunk(const std::string &bytes) {
  auto *block = new ACE_Message_Block(bytes.size() ? bytes.size() : 1);
  block->copy(bytes.data(), bytes.size());
  return block;
}

struct Request {
  std::string text;
  int blocks = 0;
};

Request take(Qorrfc_Framer &framer) {
  Request r;
  ACE_Message_Block *head = framer.take_request();
  for (ACE_Message_Block *b = head; b; b = b->cont()) {
    r.text.append(b->rd_ptr(), b->length());
    ++r.blocks;
  }
  head->release();
  return r;
}

TEST(Framer, RequestEndsOnlyWhenAChunkEndsInLineFeed) {
  Qorrfc_Framer framer;
  EXPECT_EQ(framer.add(chunk("abc")), Qorrfc_Framer::INCOMPLETE);
  EXPECT_EQ(framer.add(chunk("def\n")), Qorrfc_Framer::COMPLETE);
  Request r = take(framer);
  EXPECT_EQ(r.text, "abcdef");
  EXPECT_EQ(r.blocks, 2);  // chained as received, not copied

  // A line feed inside a chunk does not end the request.
  EXPECT_EQ(framer.add(chunk("one\ntwo\n")), Qorrfc_Framer::COMPLETE);
  EXPECT_EQ(take(framer).text, "one\ntwo");
  EXPECT_EQ(framer.add(chunk("x\ny")), Qorrfc_Framer::INCOMPLETE);
  EXPECT_EQ(framer.add(chunk("\n")), Qorrfc_Framer::COMPLETE);
  EXPECT_EQ(take(framer).text, "x\ny");
}

TEST(Framer, ContinuationLinesAreJoinedWithoutTheirMarks) {
  Qorrfc_Framer framer;
  EXPECT_EQ(framer.add(chunk("part1\\\n")), Qorrfc_Framer::CONTINUED);
  EXPECT_EQ(framer.add(chunk("part2\n")), Qorrfc_Framer::COMPLETE);
  EXPECT_EQ(take(framer).text, "part1part2");

  // The backslash must be in the same chunk as the line feed.
  EXPECT_EQ(framer.add(chunk("a\\")), Qorrfc_Framer::INCOMPLETE);
  EXPECT_EQ(framer.add(chunk("\n")), Qorrfc_Framer::COMPLETE);
  EXPECT_EQ(take(framer).text, "a\\");

  // A backslash followed by a line feed in mid-chunk stays as it is.
  EXPECT_EQ(framer.add(chunk("p\\\nq\n")), Qorrfc_Framer::COMPLETE);
  EXPECT_EQ(take(framer).text, "p\\\nq");
}

TEST(Framer, LoneLineFeedIsAnEmptyRequestAndEmptyChunksAreIgnored) {
  Qorrfc_Framer framer;
  EXPECT_EQ(framer.add(chunk("")), Qorrfc_Framer::INCOMPLETE);
  EXPECT_EQ(framer.size(), 0u);
  EXPECT_EQ(framer.add(chunk("\n")), Qorrfc_Framer::COMPLETE);
  Request r = take(framer);
  EXPECT_EQ(r.text, "");
  EXPECT_EQ(r.blocks, 1);
  EXPECT_EQ(framer.add(chunk("\\\n")), Qorrfc_Framer::CONTINUED);
  EXPECT_EQ(framer.add(chunk("\n")), Qorrfc_Framer::COMPLETE);
  EXPECT_EQ(take(framer).text, "");
}

TEST(Framer, RequestsAboveTheLimitAreRefused) {
  Qorrfc_Framer framer(10);
  // Exactly at the limit without its final line feed: accepted.
  EXPECT_EQ(framer.add(chunk("12345")), Qorrfc_Framer::INCOMPLETE);
  EXPECT_EQ(framer.add(chunk("67890\n")), Qorrfc_Framer::COMPLETE);
  EXPECT_EQ(take(framer).text, "1234567890");
  // Continuation marks do not count.
  EXPECT_EQ(framer.add(chunk("12345\\\n")), Qorrfc_Framer::CONTINUED);
  EXPECT_EQ(framer.add(chunk("67890\n")), Qorrfc_Framer::COMPLETE);
  EXPECT_EQ(take(framer).text, "1234567890");
  // One byte more, with or without a line feed yet.
  EXPECT_EQ(framer.add(chunk("12345678901\n")), Qorrfc_Framer::TOO_LARGE);
  EXPECT_EQ(framer.add(chunk("123456")), Qorrfc_Framer::INCOMPLETE);
  EXPECT_EQ(framer.add(chunk("78901")), Qorrfc_Framer::TOO_LARGE);
  EXPECT_EQ(framer.size(), 0u);
  // The framer starts afresh after a refusal.
  EXPECT_EQ(framer.add(chunk("ok\n")), Qorrfc_Framer::COMPLETE);
  EXPECT_EQ(take(framer).text, "ok");
}

TEST(Framer, DefaultLimitIsSixteenMebibytes) {
  EXPECT_EQ(Qorrfc_Framer::DEFAULT_MAX_REQUEST, 16u * 1024 * 1024);
}

}  // namespace

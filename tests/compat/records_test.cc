// The record stream of a data connection, written to one end of a socket
// pair: data records split across chunks and rows, fill and message
// records, and a peer that has gone away.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "qorrfc_compat_records.h"
#include "sapitab.h"

namespace {

struct Pair {
  int near_end = -1, far_end = -1;
  Pair() {
    int sv[2];
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
    near_end = sv[0];
    far_end = sv[1];
  }
  ~Pair() {
    if (near_end >= 0) close(near_end);
    if (far_end >= 0) close(far_end);
  }
  std::string available() {
    std::string out;
    char buf[65536];
    ssize_t r;
    while ((r = ::recv(far_end, buf, sizeof buf, MSG_DONTWAIT)) > 0) out.append(buf, r);
    return out;
  }
};

// A chunk table of 256-byte rows holding bytes.
struct Chunk {
  ITAB_H table = ItCreate(const_cast<char *>("Z_QOR_DTAB"), 256, 0, 0);
  explicit Chunk(const std::string &bytes) {
    for (size_t at = 0; at < bytes.size(); at += 256) {
      char *row = static_cast<char *>(ItAppLine(table));
      std::string piece = bytes.substr(at, 256);
      piece.resize(256, '#');
      std::copy(piece.begin(), piece.end(), row);
    }
  }
  ~Chunk() { ItDelete(table); }
};

const std::string FF(1, '\xff'), NUL(1, '\0');

TEST(CompatRecords, DataRecordsRunAcrossChunks) {
  Pair p;
  Qorrfc_Compat_Records records;
  records.record_length(10);
  Chunk first("0123456789abcdefghijABCDE");
  ASSERT_EQ(records.write_chunk(p.near_end, first.table, 25), 0);
  EXPECT_EQ(p.available(), "0123456789" + FF + "abcdefghij" + FF + "ABCDE");
  EXPECT_EQ(records.position(), 5u);
  Chunk second("FGHIJ");
  ASSERT_EQ(records.write_chunk(p.near_end, second.table, 5), 0);
  EXPECT_EQ(p.available(), "FGHIJ" + FF);
  EXPECT_EQ(records.position(), 0u);
}

TEST(CompatRecords, RecordLongerThanARowTakesTheNextRow) {
  Pair p;
  Qorrfc_Compat_Records records;
  records.record_length(300);
  std::string bytes;
  for (int i = 0; i < 512; ++i) bytes += static_cast<char>('a' + i % 26);
  Chunk chunk(bytes);
  // Bytes past the count, and a count past the table, are not sent.
  ASSERT_EQ(records.write_chunk(p.near_end, chunk.table, 300), 0);
  EXPECT_EQ(p.available(), bytes.substr(0, 300) + FF);
  ASSERT_EQ(records.write_chunk(p.near_end, chunk.table, 100000), 0);
  EXPECT_EQ(p.available(), bytes.substr(0, 300) + FF + bytes.substr(300, 212));
  EXPECT_EQ(records.position(), 212u);
}

TEST(CompatRecords, MessagesStartARecordOfTheirOwn) {
  Pair p;
  Qorrfc_Compat_Records records;
  records.record_length(10);
  Chunk chunk("12345");
  ASSERT_EQ(records.write_chunk(p.near_end, chunk.table, 5), 0);
  records.write_message(p.near_end, "0123456789abcdefghijABCDE   ");
  EXPECT_EQ(p.available(), "12345**inv" + NUL + "0123456789" + NUL +
                               "abcdefghij" + NUL + "ABCDE     " + NUL);
  EXPECT_EQ(records.position(), 0u);
  records.write_message(p.near_end, "   ");
  EXPECT_EQ(p.available(), "");
  records.record_length(15);
  Chunk two("12");
  ASSERT_EQ(records.write_chunk(p.near_end, two.table, 2), 0);
  records.write_message(p.near_end, "x");
  EXPECT_EQ(p.available(), "12**invalid**  " + NUL + "x" + std::string(14, ' ') + NUL);
}

TEST(CompatRecords, RecordsRunAcrossLinesThatLieInSeparateBlocks) {
  // 40 lines appended one by one lie in several blocks of the table, so
  // some neighbouring lines are not back to back in memory; records of
  // 1000 and of 7 bytes cross those places as well as the line ends.
  std::string bytes;
  for (int i = 0; i < 40 * 256; ++i) bytes += static_cast<char>('A' + (i * 7 + i / 256) % 53);
  Chunk chunk(bytes);
  for (size_t length : {size_t{1000}, size_t{7}}) {
    Pair p;
    Qorrfc_Compat_Records records;
    records.record_length(length);
    std::string expected;
    for (size_t at = 0; at + length <= bytes.size(); at += length) expected += bytes.substr(at, length) + FF;
    expected += bytes.substr(bytes.size() - bytes.size() % length);
    ASSERT_EQ(records.write_chunk(p.near_end, chunk.table, bytes.size()), 0);
    std::string got = p.available();
    ASSERT_EQ(got.size(), expected.size()) << length;
    EXPECT_TRUE(got == expected) << length;
    EXPECT_EQ(records.position(), bytes.size() % length);
  }
}

TEST(CompatRecords, ChunkOfManySlicesIsWrittenWhole) {
  Pair p;
  Qorrfc_Compat_Records records;
  records.record_length(1);
  // 256 rows of one-byte records: more slices than one list holds.
  std::string bytes(256 * 100, 'r');
  Chunk chunk(bytes);
  std::string expected;
  for (size_t i = 0; i < 12000; ++i) expected += "r" + FF;
  ASSERT_EQ(records.write_chunk(p.near_end, chunk.table, 12000), 0);
  EXPECT_EQ(p.available(), expected);
}

TEST(CompatRecords, PeerThatHasGoneAwayFailsTheChunk) {
  Pair p;
  close(p.far_end);
  p.far_end = -1;
  Qorrfc_Compat_Records records;
  records.record_length(10);
  Chunk chunk("0123456789");
  EXPECT_EQ(records.write_chunk(p.near_end, chunk.table, 10), -1);
  records.write_message(p.near_end, "ignored");  // must not raise SIGPIPE
}

}  // namespace

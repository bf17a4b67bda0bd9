// The main-port session of the client library against a scripted peer
// that plays the server's side byte for byte.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>

#include "main_session.h"

using qorclient::MainSession;
using qorclient::Record;

namespace {

// Accepts one connection on a free loopback port and runs the script on
// it in a thread of its own; joined (and the sockets closed) at the end.
class ScriptedPeer {
 public:
  explicit ScriptedPeer(std::function<void(int fd)> script) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(listener_, reinterpret_cast<sockaddr *>(&a), len) != 0 ||
        ::listen(listener_, 1) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr *>(&a), &len) != 0)
      ADD_FAILURE() << "cannot listen";
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this, script] {
      int fd = ::accept(listener_, nullptr, nullptr);
      if (fd < 0) return;
      script(fd);
      ::close(fd);
    });
  }
  ~ScriptedPeer() {
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
  }
  int port() const { return port_; }

  static void put(int fd, const std::string &bytes) {
    ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
  }
  // Reads up to and including the next line feed, a byte at a time.
  static std::string get_line(int fd) {
    std::string line;
    char c;
    while (::recv(fd, &c, 1, 0) == 1) {
      line += c;
      if (c == '\n') break;
    }
    return line;
  }
  static std::string handle_record(const std::string &handle) {
    return handle + std::string(129 - handle.size(), ' ') + "\n";
  }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
};

}  // namespace

TEST(MainSession, ReadsTheHandleAndSendsContinuationLinesOneAtATime) {
  std::string received;
  ScriptedPeer peer([&received](int fd) {
    ScriptedPeer::put(fd, ScriptedPeer::handle_record("00420x5581d0c0a2b0"));
    // Each continued line is acknowledged before the next may come.
    for (int i = 0; i < 2; ++i) {
      received += ScriptedPeer::get_line(fd);
      ScriptedPeer::put(fd, "OK\n");
    }
    received += ScriptedPeer::get_line(fd);
    ScriptedPeer::put(fd, "SYSINFO 1100,LIT,IE3,N,/QOR/,1,1,\n");
  });
  MainSession s;
  ASSERT_TRUE(s.open("127.0.0.1", peer.port())) << s.error();
  EXPECT_EQ(s.handle(), "00420x5581d0c0a2b0");
  ASSERT_TRUE(s.send_request("<connect\nuser=\"U\"\n/>")) << s.error();
  std::string line;
  ASSERT_TRUE(s.read_line(line));
  EXPECT_EQ(line, "SYSINFO 1100,LIT,IE3,N,/QOR/,1,1,");
  EXPECT_EQ(received, "<connect\\\nuser=\"U\"\\\n/>\n");
}

TEST(MainSession, CollectsErrorLinesUntilTheServerCloses) {
  ScriptedPeer peer([](int fd) {
    ScriptedPeer::put(fd, ScriptedPeer::handle_record("0001x"));
    ScriptedPeer::get_line(fd);
    ScriptedPeer::put(fd, "E,Error at line 21, column 3. Message: bad\n\nE,RFC Error:\nE,tail");
  });
  MainSession s(std::chrono::seconds(5));
  ASSERT_TRUE(s.open("127.0.0.1", peer.port()));
  ASSERT_TRUE(s.send_request("<x/>"));
  std::string first;
  ASSERT_TRUE(s.read_line(first));
  EXPECT_TRUE(MainSession::is_error_line(first));
  EXPECT_EQ(s.read_until_closed(), (std::vector<std::string>{"", "E,RFC Error:", "E,tail"}));
}

TEST(MainSession, TellsRowsFromEndAndErrorRecords) {
  ScriptedPeer peer([](int fd) {
    ScriptedPeer::put(fd, ScriptedPeer::handle_record("0002x"));
    std::string zero(4, '\0');
    ScriptedPeer::put(fd, std::string("ABCD") + '\0' + zero + '\0' + zero + 'X' + zero + '\xff' +
                              "AB");
  });
  MainSession s(std::chrono::seconds(5));
  ASSERT_TRUE(s.open("127.0.0.1", peer.port()));
  Record r;
  ASSERT_TRUE(s.read_record(4, r));
  EXPECT_EQ(r.kind, Record::Kind::kRow);
  EXPECT_EQ(r.bytes, "ABCD");
  // An all-zero row is still a row; only the flag byte ends the data.
  ASSERT_TRUE(s.read_record(4, r));
  EXPECT_EQ(r.kind, Record::Kind::kRow);
  ASSERT_TRUE(s.read_record(4, r));
  EXPECT_EQ(r.kind, Record::Kind::kError);
  ASSERT_TRUE(s.read_record(4, r));
  EXPECT_EQ(r.kind, Record::Kind::kEnd);
  EXPECT_FALSE(s.read_record(4, r)) << "a record cut short by the close";
}

TEST(MainSession, RecordsArriveWholeAcrossReadsAndWiderThanOneRead) {
  // Rows of an odd width cross every boundary of the client's reads; the
  // last is wider than one read, so the buffer must grow for it.
  const size_t width = 997, rows = 2000, wide = 300000;
  auto row = [](size_t i, size_t w) {
    std::string r(w, static_cast<char>('a' + i % 26));
    r[w - 1] = static_cast<char>(i % 251);
    return r;
  };
  ScriptedPeer peer([&](int fd) {
    ScriptedPeer::put(fd, ScriptedPeer::handle_record("0003x"));
    std::string all;
    for (size_t i = 0; i < rows; ++i) all += row(i, width) + '\0';
    all += row(7, wide) + '\0';
    ScriptedPeer::put(fd, all);
  });
  MainSession s(std::chrono::seconds(5));
  ASSERT_TRUE(s.open("127.0.0.1", peer.port()));
  Record r;
  for (size_t i = 0; i < rows; ++i) {
    ASSERT_TRUE(s.read_record(width, r)) << i;
    ASSERT_EQ(r.kind, Record::Kind::kRow);
    ASSERT_TRUE(r.bytes == row(i, width)) << i;
  }
  ASSERT_TRUE(s.read_record(wide, r));
  EXPECT_TRUE(r.bytes == row(7, wide));
  EXPECT_FALSE(s.read_record(4, r));
}

TEST(MainSession, NoHandleRecordIsAnError) {
  ScriptedPeer peer([](int fd) { ScriptedPeer::put(fd, "HANDLE 0001x\n"); });
  MainSession s(std::chrono::seconds(5));
  EXPECT_FALSE(s.open("127.0.0.1", peer.port()));
  EXPECT_NE(s.error().find("no handle record"), std::string::npos) << s.error();
}

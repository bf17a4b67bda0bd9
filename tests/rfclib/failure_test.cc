// Failures: system failures and the broken session after them, partners
// that die in mid call, and malformed or foreign frames in both directions.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "loopback.h"
#include "rfc_wire.h"
#include "test_partner.h"

using namespace rfctest;

namespace {

RFC_HANDLE open_partner(TestPartner &p) {
  RFC_ERROR_INFO_EX err{};
  return RfcOpenEx(const_cast<char *>(p.connect_string().c_str()), &err);
}

std::string header(uint8_t version, uint8_t kind, uint32_t size) {
  std::string h = "QR";
  h += static_cast<char>(version);
  h += static_cast<char>(kind);
  for (int i = 0; i < 4; ++i) h += static_cast<char>(size >> (8 * i));
  return h;
}

TEST(FailureTest, SystemFailureBreaksTheSession) {
  TestPartner partner;
  partner.add("RFC_RAISE_ERROR", [](RFC_HANDLE h) {
    RFC_ERROR_INFO_EX e{};
    e.group = RFC_ERROR_SYSTEM_FAILURE;
    std::strcpy(e.key, "RFC_ERROR_SYSTEM_FAILURE");
    std::strcpy(e.message, "Runtime error RAISE_SHORTDUMP\noccurred in program SAPLSRFC");
    ASSERT_EQ(RfcpSystemFailure(h, &e), RFC_OK);
  });
  RFC_HANDLE h = open_partner(partner);
  ASSERT_NE(h, RFC_HANDLE_NULL);
  char *exc = nullptr;
  ASSERT_EQ(RfcCallReceive(h, const_cast<char *>("RFC_RAISE_ERROR"), nullptr, nullptr, nullptr, &exc),
            RFC_SYS_EXCEPTION);
  EXPECT_STREQ(exc, "SYSTEM_FAILURE");
  RFC_ERROR_INFO_EX err{};
  ASSERT_EQ(RfcLastErrorEx(&err), 0);
  EXPECT_EQ(err.group, RFC_ERROR_SYSTEM_FAILURE);
  EXPECT_STREQ(err.message, "Runtime error RAISE_SHORTDUMP\noccurred in program SAPLSRFC");
  // The session is gone: further calls fail at once.
  EXPECT_EQ(RfcCallReceive(h, const_cast<char *>("RFC_PING"), nullptr, nullptr, nullptr, &exc),
            RFC_FAILURE);
  RfcClose(h);
}

TEST(FailureTest, PartnerDyingInMidCallGivesFailureAtOnce) {
  TestPartner partner;
  partner.add("Z_CRASH", [](RFC_HANDLE h) { RfcpDrop(h); });
  partner.add("Z_CRASH_IN_CALLBACK", [&partner](RFC_HANDLE h) {
    RFC_RC rc = partner.call_serving(h, "Z_BACK", nullptr, nullptr, nullptr);
    EXPECT_EQ(rc, RFC_FAILURE);  // the client vanished during the callback
  });
  RFC_HANDLE h = open_partner(partner);
  ASSERT_NE(h, RFC_HANDLE_NULL);
  auto start = std::chrono::steady_clock::now();
  char *exc = nullptr;
  EXPECT_EQ(RfcCallReceive(h, const_cast<char *>("Z_CRASH"), nullptr, nullptr, nullptr, &exc),
            RFC_FAILURE);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  RFC_ERROR_INFO_EX err{};
  ASSERT_EQ(RfcLastErrorEx(&err), 0);
  EXPECT_EQ(err.group, RFC_ERROR_COMMUNICATION);
  EXPECT_STREQ(err.key, "RFC_ERROR_COMMUNICATION");
  EXPECT_NE(std::string(err.message).find("Connection to partner broken"), std::string::npos);
  RfcClose(h);

  // The other way round: the client drops while the partner calls it back.
  h = open_partner(partner);
  ASSERT_EQ(RfcCallReceive(h, const_cast<char *>("Z_CRASH_IN_CALLBACK"), nullptr, nullptr, nullptr, &exc),
            RFC_CALL);
  RfcpDrop(h);
  RfcClose(h);
  // The partner's session ends rather than hangs; a new session still works.
  RFC_HANDLE again = open_partner(partner);
  ASSERT_NE(again, RFC_HANDLE_NULL);
  EXPECT_EQ(RfcCallReceive(again, const_cast<char *>("RFC_PING"), nullptr, nullptr, nullptr, &exc),
            RFC_EXCEPTION);
  RfcClose(again);
}

TEST(FailureTest, PartnerClosesConnectionsThatSendBadFrames) {
  TestPartner partner;
  const std::string bad[] = {
      "GET / HTTP/1.0\r\n\r\n",                              // not our protocol
      header(1, 99, 0),                                      // unknown kind
      header(1, 1, 0x7fffffff),                              // oversized
      header(1, 1, 6) + std::string("\x05\x00" "AB", 4) + "xx",  // name runs past its bytes
      header(1, 4, 4) + std::string("\x00\x00\x00\x00", 4),  // truncated call
  };
  for (const std::string &bytes : bad) {
    qtest::Conn c(partner.port());
    ASSERT_TRUE(c.is_open());
    ASSERT_TRUE(c.send(bytes));
    EXPECT_TRUE(c.wait_closed()) << "still open after " << bytes.size() << " bad bytes";
  }
  // Another protocol version is refused with a readable error frame.
  qtest::Conn c(partner.port());
  ASSERT_TRUE(c.send(header(7, 1, 0)));
  std::string answer = c.read_all();
  EXPECT_NE(answer.find("protocol version 7, this library speaks version 1"), std::string::npos);
  // And the partner still serves well-behaved clients.
  RFC_HANDLE h = open_partner(partner);
  EXPECT_NE(h, RFC_HANDLE_NULL);
  RfcClose(h);
}

// A fake partner that answers the logon with the given bytes.
class FakePartner {
 public:
  explicit FakePartner(std::string reply) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr *>(&a), &len);
    port_ = ntohs(a.sin_port);
    ::listen(fd_, 1);
    thread_ = std::thread([this, reply] {
      int c = ::accept(fd_, nullptr, nullptr);
      if (c < 0) return;
      char buf[512];
      if (::recv(c, buf, sizeof buf, 0) > 0 && ::send(c, reply.data(), reply.size(), MSG_NOSIGNAL) > 0) {
        // Keep the connection open until the client gives up on it.
        while (::recv(c, buf, sizeof buf, 0) > 0) {
        }
      }
      ::close(c);
    });
  }
  ~FakePartner() {
    ::shutdown(fd_, SHUT_RDWR);
    thread_.join();
    ::close(fd_);
  }
  std::string connect_string() const { return "ashost=127.0.0.1 gwserv=" + std::to_string(port_); }

 private:
  int fd_, port_ = 0;
  std::thread thread_;
};

TEST(FailureTest, ClientRefusesMalformedAnswersAndOtherVersions) {
  struct Case {
    std::string reply;
    RFC_ERROR_GROUP group;
    const char *text;
  } cases[] = {
      {header(2, 2, 0), RFC_ERROR_PROTOCOL, "partner speaks protocol version 2"},
      {header(1, 2, 3) + "abc", RFC_ERROR_PROTOCOL, "malformed LOGON_OK frame"},
      {header(1, 5, 14) + std::string(2, '\0') + std::string(2, '\0') + std::string(2, '\0') +
           std::string("\xff\xff\xff\xff", 4) + std::string(4, '\0'),
       RFC_ERROR_PROTOCOL, "bad parameter count"},
      {"garbage!", RFC_ERROR_PROTOCOL, "frame does not start with the protocol's mark"},
  };
  for (const Case &c : cases) {
    FakePartner fake(c.reply);
    RFC_ERROR_INFO_EX err{};
    EXPECT_EQ(RfcOpenEx(const_cast<char *>(fake.connect_string().c_str()), &err), RFC_HANDLE_NULL);
    EXPECT_EQ(err.group, c.group) << c.text;
    EXPECT_NE(std::string(err.message).find(c.text), std::string::npos) << err.message;
  }
}

}  // namespace

// What the main port does with messages that are not good connect
// elements: parser errors reported as E-lines with the client's own line
// numbers shifted by the grammar's prefix, nothing loaded from outside
// the message, and the server serving on after each failure.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "e2e_system.h"

using e2e::E2eSystem;
using e2e::starting_with;
using qorclient::connect_element;

namespace {

// A loopback listener that no one should ever connect to: a message that
// makes the server fetch a DTD or entity from it would be caught.
class Tripwire {
 public:
  Tripwire() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(fd_, reinterpret_cast<sockaddr *>(&a), len) != 0 || ::listen(fd_, 4) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr *>(&a), &len) != 0)
      ADD_FAILURE() << "cannot listen";
    port_ = ntohs(a.sin_port);
  }
  ~Tripwire() { ::close(fd_); }
  std::string url(const std::string &file) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + file;
  }
  // True when a connection is waiting to be accepted.
  bool touched() const {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) == 1;
  }

 private:
  int fd_ = -1;
  int port_ = 0;
};

bool all_error_lines(const std::vector<std::string> &lines) {
  for (const auto &l : lines)
    if (!l.empty() && l.rfind("E,", 0) != 0) return false;
  return !lines.empty();
}

}  // namespace

TEST(E2eXmlReception, ParserErrorsAndTheServerServesOn) {
  E2eSystem sys(1);
  std::string good = connect_element(sys.logon());
  std::string sysinfo = sys.connect(good);
  ASSERT_NE(sysinfo.find(",LIT,IE3,N,/QOR/,1,1,"), std::string::npos) << sysinfo;

  // An undeclared attribute on the client's line 1 is the parser's line 21.
  std::vector<std::string> reply = sys.failing_request("<connect bogus=\"1\" user=\"DEMO\"/>");
  ASSERT_FALSE(reply.empty());
  EXPECT_EQ(reply[0].rfind("E,Error at line 21, column ", 0), 0u) << reply[0];
  // Parser messages end in a line feed of their own: an empty line follows.
  ASSERT_GE(reply.size(), 2u);
  EXPECT_EQ(reply[1], "");
  EXPECT_EQ(sys.connect(good), sysinfo);

  // A line feed inside one packet does not end the message, so the
  // client's second line is the parser's line 22.
  {
    auto s = sys.open();
    ASSERT_TRUE(s->stream().send_all("<connect user=\"DEMO\"\n bogus=\"1\"/>\n"));
    reply = s->read_until_closed();
    ASSERT_FALSE(reply.empty());
    EXPECT_EQ(reply[0].rfind("E,Error at line 22, column ", 0), 0u) << reply[0];
  }

  // Root names are compared exactly: Connect is no connect request.
  reply = sys.failing_request("<Connect user=\"DEMO\"/>");
  ASSERT_FALSE(reply.empty());
  EXPECT_EQ(reply[0].rfind("E,Fatal Error at line ", 0), 0u) << reply[0];
  EXPECT_TRUE(all_error_lines(reply)) << ::testing::PrintToString(reply);

  // The server supplies the XML declaration; one of the client's own is an error.
  reply = sys.failing_request("<?xml version=\"1.0\"?>" + good);
  EXPECT_TRUE(all_error_lines(reply)) << ::testing::PrintToString(reply);

  // Text that is not XML at all, quoted (the whole text, or all but its
  // last byte).
  reply = sys.failing_request("hello there");
  ASSERT_EQ(reply.size(), 1u) << ::testing::PrintToString(reply);
  EXPECT_EQ(reply[0].rfind("E,no valid XML tag found in \"hello ther", 0), 0u) << reply[0];
  EXPECT_EQ(reply[0].substr(reply[0].size() - 2), "\".");
  EXPECT_EQ(sys.connect(good), sysinfo);
}

TEST(E2eXmlReception, NothingIsLoadedFromOutsideTheMessage) {
  E2eSystem sys(1);
  Tripwire wire;
  const std::string messages[] = {
      "<!DOCTYPE connect SYSTEM \"" + wire.url("a.dtd") + "\"><connect user=\"DEMO\"/>",
      "<!DOCTYPE connect [<!ENTITY % p SYSTEM \"" + wire.url("p.ent") +
          "\"> %p;]><connect user=\"DEMO\"/>",
      "<!DOCTYPE connect [<!ENTITY e SYSTEM \"" + wire.url("e.ent") +
          "\">]><connect user=\"&e;\"/>",
      "<connect user=\"&e;\"/>",
      "<connect xmlns:xi=\"http://www.w3.org/2001/XInclude\"><xi:include href=\"" +
          wire.url("i.xml") + "\"/></connect>",
      "<!DOCTYPE connect SYSTEM \"file:///etc/hostname\"><connect user=\"DEMO\"/>",
  };
  for (const auto &m : messages) {
    std::vector<std::string> reply = sys.failing_request(m);
    EXPECT_TRUE(all_error_lines(reply)) << m << "\n" << ::testing::PrintToString(reply);
    EXPECT_FALSE(wire.touched()) << "the server reached out for: " << m;
  }
  EXPECT_NE(sys.connect(connect_element(sys.logon())).find(",LIT,IE3,"), std::string::npos);
}

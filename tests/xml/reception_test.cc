// What a client of the main port hears when its message is not a request:
// the parser's errors with line numbers counted from the server's prefix,
// the sniffing pass's refusal, and nothing ever fetched from outside the
// message. The server goes on serving other connections each time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "server_under_test.h"

namespace {

using namespace std::chrono_literals;

// A loopback listener that notices whether anyone connects.
class Witness {
 public:
  Witness() : port_(qtest::free_port()) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port_));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int one = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    EXPECT_EQ(::listen(fd_, 4), 0);
  }
  ~Witness() { ::close(fd_); }
  int port() const { return port_; }
  // True when a connection is waiting to be accepted.
  bool contacted() {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
  }

 private:
  int port_;
  int fd_ = -1;
};

class Reception : public ::testing::Test {
 protected:
  // Opens a connection, reads the handle record, sends message.
  qtest::Conn send(const std::string &message) {
    qtest::Conn conn(server_.port());
    EXPECT_EQ(conn.read_exact(130).size(), 130u);
    conn.send(message);
    return conn;
  }
  // The whole reply to message; the connection must end after it.
  std::string reply(const std::string &message) {
    qtest::Conn conn = send(message);
    std::string out = conn.read_all(10s);
    EXPECT_TRUE(conn.wait_closed(1s));
    return out;
  }
  void TearDown() override {
    // Whatever came before, a new connection is still served.
    qtest::Conn conn(server_.port());
    EXPECT_EQ(conn.read_exact(130).size(), 130u);
  }

  qtest::ServerUnderTest server_;
};

TEST_F(Reception, ValidationErrorOnTheClientsFirstLineIsLine21) {
  ASSERT_TRUE(server_.ready());
  std::string out = reply("<connect trace=\"2\" user=\"u\"/>\n");
  EXPECT_EQ(out.rfind("E,Error at line 21, column ", 0), 0u) << out;
  // The parser's text ends in its own newline: an empty line follows.
  EXPECT_EQ(out.substr(out.size() - 2), "\n\n");
  EXPECT_EQ(out.find("E,Fatal"), std::string::npos);
}

TEST_F(Reception, ARootOfAnotherNameIsAFatalError) {
  ASSERT_TRUE(server_.ready());
  std::string out = reply("<Connect user=\"u\"/>\n");
  EXPECT_EQ(out.rfind("E,Fatal Error at line ", 0), 0u) << out;
}

TEST_F(Reception, AMessageWithItsOwnXmlDeclarationIsRejected) {
  ASSERT_TRUE(server_.ready());
  std::string out = reply("<?xml version=\"1.0\"?><connect user=\"u\"/>\n");
  EXPECT_EQ(out.rfind("E,Fatal Error at line 21, column ", 0), 0u) << out;
}

TEST_F(Reception, TextThatIsNotXml) {
  ASSERT_TRUE(server_.ready());
  EXPECT_EQ(reply("hello there\n"), "E,no valid XML tag found in \"hello there\".\n");
  std::string out = reply("<connect user=\"u\"\n");
  EXPECT_EQ(out, "E,no valid XML tag found in \"<connect user=\"u\"\".\n");
}

TEST_F(Reception, ExternalDtdsAndEntitiesAreNeverFetched) {
  ASSERT_TRUE(server_.ready());
  Witness witness;
  const std::string url = "http://127.0.0.1:" + std::to_string(witness.port()) + "/x";
  qtest::TempDir dir;
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string messages[] = {
      "<!DOCTYPE connect SYSTEM \"" + url + "\"><connect user=\"u\"/>\n",
      "<!DOCTYPE connect [<!ENTITY % p SYSTEM \"" + url + "\"> %p;]><connect user=\"u\"/>\n",
      "<!DOCTYPE connect [<!ENTITY e SYSTEM \"" + url + "\">]><connect user=\"u\">&e;</connect>\n",
      "<!DOCTYPE connect SYSTEM \"file://" + fifo + "\"><connect user=\"u\"/>\n",
      "<!DOCTYPE connect [<!ENTITY % p SYSTEM \"" + fifo + "\"> %p;]><connect user=\"u\"/>\n",
      "<connect user=\"&e;\"/>\n",
  };
  for (const std::string &message : messages) {
    // A server that opened the FIFO would hang there and never answer.
    std::string out = reply(message);
    EXPECT_EQ(out.rfind("E,", 0), 0u) << message << " -> " << out;
    EXPECT_FALSE(witness.contacted()) << message;
  }
  // Nobody opened the FIFO for reading: a writer cannot open it.
  int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
  EXPECT_EQ(fd, -1);
  if (fd >= 0) ::close(fd);
}

}  // namespace

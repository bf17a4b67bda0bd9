// A connect request whose logon cannot succeed, with no R/3 behind the
// server: password texts refused before any logon, an unreachable gateway
// reported as the library's error block, and no password in the log even
// at the highest debug level.
#include <gtest/gtest.h>

#include <string>

#include "password_text.h"
#include "server_under_test.h"

namespace {

using namespace std::chrono_literals;

std::string reply(qtest::ServerUnderTest &server, const std::string &message) {
  qtest::Conn conn(server.port());
  EXPECT_EQ(conn.read_exact(130).size(), 130u);
  conn.send(message);
  std::string out = conn.read_all(20s);
  EXPECT_TRUE(conn.wait_closed(1s));
  return out;
}

size_t count(const std::string &text, const std::string &part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(Logon, RefusedPasswordTextsAndUnreachableGatewayNeverLogThePassword) {
  qtest::ServerUnderTest server({}, 4);
  ASSERT_TRUE(server.ready());
  const std::string nobody = std::to_string(qtest::free_port());
  const std::string target = " ashost=\"127.0.0.1\" gwserv=\"" + nobody + "\" client=\"800\" user=\"u\"";

  EXPECT_EQ(reply(server, "<connect" + target + " xpasswd=\"\"/>\n"), "E,invalid encrypted password\n");
  EXPECT_EQ(reply(server, "<connect" + target + " xpasswd=\"abc\"/>\n"),
            "E,RFC Error:\nE,Error Group: 101\nE,Key        : RFC_ERROR_PROGRAM\n"
            "E,Message    : Invalid encrypted password from QOR\n");

  const std::string encoded = qtest::password_text("TopSecret42");
  std::string out = reply(server, "<connect" + target + " xpasswd=\"" + encoded + "\"/>\n");
  EXPECT_EQ(out.rfind("E,RFC Error:\nE,Error Group: 102\nE,Key        : RFC_ERROR_COMMUNICATION\n", 0), 0u) << out;
  EXPECT_GE(count(out, "E,Message    : "), 2u) << out;
  EXPECT_EQ(count(out, "E,Message    : \n"), 0u) << out;

  out = reply(server, "<connect" + target + " passwd=\"PlainSecret7\"/>\n");
  EXPECT_EQ(out.rfind("E,RFC Error:\nE,Error Group: 102\n", 0), 0u) << out;

  server.proc().stop(SIGTERM);
  const std::string log = server.proc().stderr_text();
  EXPECT_EQ(log.find("TopSecret42"), std::string::npos);
  EXPECT_EQ(log.find("PlainSecret7"), std::string::npos);
  EXPECT_EQ(log.find(encoded), std::string::npos);
  const std::string logged = "About to RfcOpenEx with 'ashost=\"127.0.0.1\" client=\"800\" gwserv=\"" + nobody + "\" ";
  EXPECT_NE(log.find(logged + "trace=\"0\" user=\"u\" passwd=\"????????\" lcheck=1'"), std::string::npos);
  EXPECT_NE(log.find(logged + "passwd=\"????????\" trace=\"0\" user=\"u\" lcheck=1'"), std::string::npos);
}

}  // namespace

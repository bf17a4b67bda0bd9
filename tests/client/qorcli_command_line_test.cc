// qorcli's command line and the connect element built from it.
#include <gtest/gtest.h>

#include "logon_options.h"
#include "qorcli_command_line.h"

using qorclient::QorcliCommandLine;

TEST(QorcliCommandLine, LogonOptionsBecomeTheConnectElement) {
  QorcliCommandLine c = QorcliCommandLine::parse(
      {"info", "--server", "localhost:6999", "--ashost", "r3", "--sysnr", "00", "--client",
       "800", "--user", "DEMO", "--password", "a\"<&>", "--lang", "E", "--plain-password"});
  ASSERT_EQ(c.error, "");
  EXPECT_EQ(c.command, "info");
  EXPECT_EQ(c.logon.server_host, "localhost");
  EXPECT_EQ(c.logon.server_port, 6999);
  EXPECT_EQ(qorclient::connect_element(c.logon),
            "<connect user=\"DEMO\" passwd=\"a&quot;&lt;&amp;&gt;\" ashost=\"r3\" sysnr=\"00\" "
            "client=\"800\" lang=\"E\"/>");
  c.logon.plain_password = false;
  std::string e = qorclient::connect_element(c.logon);
  EXPECT_EQ(e.find("passwd="), e.find("xpasswd=") + 1) << e;
}

TEST(QorcliCommandLine, BadLinesAreRefusedWithAReason) {
  EXPECT_EQ(QorcliCommandLine::parse({"info", "--server", "host"}).error,
            "--server wants HOST:PORT, not host");
  EXPECT_EQ(QorcliCommandLine::parse({"info", "--server", "h:70000"}).error,
            "--server wants HOST:PORT, not h:70000");
  EXPECT_EQ(QorcliCommandLine::parse({"info", "--user"}).error, "option --user needs a value");
  EXPECT_EQ(QorcliCommandLine::parse({"info", "--bogus", "1"}).error, "unknown option --bogus");
  EXPECT_EQ(QorcliCommandLine::parse({}).error, "no command given");
  EXPECT_TRUE(QorcliCommandLine::parse({"info", "--help"}).help);
  QorcliCommandLine v6 = QorcliCommandLine::parse({"info", "--server", "[::1]:7000"});
  EXPECT_EQ(v6.logon.server_host, "::1");
  EXPECT_EQ(v6.logon.server_port, 7000);
}

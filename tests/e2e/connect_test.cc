// Logon through the main port: the connect request against r3sim, the
// password on its way from the client's encoder to R/3, and the error
// blocks of failed logons.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "call_lists.h"
#include "compat_session.h"
#include "e2e_system.h"
#include "loopback.h"
#include "password_encoder.h"

using e2e::E2eSystem;
using e2e::starting_with;
using qorclient::connect_element;

namespace {

// The system-information line the server must send: RFC_SYSTEM_INFO's
// RFCSI_EXPORT (trailing blanks cut), then code page, integer and float
// format, platform, namespace, 1 and the partner's character size.
std::string expected_sysinfo_line(E2eSystem &sys, const std::string &ns = "/QOR/") {
  RFC_HANDLE h = sys.r3sim().logon();
  char rfcsi[200];
  r3sim::ParamList none, imp;
  imp.add("RFCSI_EXPORT", rfcsi, sizeof rfcsi);
  char *exception = nullptr;
  EXPECT_EQ(RfcCallReceive(h, const_cast<char *>("RFC_SYSTEM_INFO"), none.get(), imp.get(),
                           nullptr, &exception),
            RFC_OK);
  RfcClose(h);
  return r3simtest::text(rfcsi, sizeof rfcsi) + "1100,LIT,IE3,N," + ns + ",1,1,";
}

std::string log_connect_string(E2eSystem &sys) {
  return "ashost=\"127.0.0.1\" client=\"800\" gwserv=\"" + std::to_string(sys.r3sim().port()) +
         "\" lang=\"E\" sysnr=\"00\" trace=\"0\" user=\"DEMO\" ";
}

std::vector<std::string> rfc_error_block(int group, const std::string &key,
                                         const std::string &first_message) {
  return {"E,RFC Error:", "E,Error Group: " + std::to_string(group), "E,Key        : " + key,
          "E,Message    : " + first_message};
}

std::vector<std::string> head(const std::vector<std::string> &lines, size_t n) {
  return std::vector<std::string>(lines.begin(), lines.begin() + std::min(n, lines.size()));
}

}  // namespace

TEST(E2eConnect, SystemInformationLineAndWhatR3Received) {
  E2eSystem sys(2);
  std::string expected = expected_sysinfo_line(sys);
  int64_t before = sys.last_call();
  auto s = sys.open();
  ASSERT_TRUE(s->send_request(connect_element(sys.logon())));
  std::string line;
  ASSERT_TRUE(s->read_line(line)) << line;
  EXPECT_EQ(line, expected);

  // The logon text in attribute order, with trace 0, then the password
  // part and lcheck=1; the password itself only as question marks.
  EXPECT_NE(sys.log().find("About to RfcOpenEx with '" + log_connect_string(sys) +
                           "passwd=\"????????\" lcheck=1'"),
            std::string::npos)
      << sys.log();
  std::vector<std::string> calls = sys.calls(before);
  ASSERT_EQ(calls.size(), 4u) << ::testing::PrintToString(calls);
  EXPECT_EQ(calls[0].rfind("LOGON |CLIENT=800\nUSER=DEMO\nLANGUAGE=E\n", 0), 0u) << calls[0];
  EXPECT_EQ(calls[0].substr(calls[0].size() - 3), "|OK");
  EXPECT_EQ(calls[1], "CALL /QOR/Z_QOR_DIALOG|PDEST=BACK|");
  // Without -V the server names no variant, and R/3 says batch cannot work.
  EXPECT_EQ(calls[2],
            "CALLBACK Z_QOR_GET_REQUEST_PARAMETERS|FUNC_FLAG=I\nABAPPROG=/QOR/Z_QOR_READ|OK");
  EXPECT_NE(calls[3].find("BATMESS=The RFC server has no variant"), std::string::npos)
      << calls[3];
}

TEST(E2eConnect, VariantAndNamespaceOfTheServerGiveTheBatchValues) {
  E2eSystem sys(1, {"-V", "qorbatch", "-N", "/zz/"}, {"--ns", "/ZZ/"});
  std::string expected = expected_sysinfo_line(sys, "/ZZ/");
  int64_t before = sys.last_call();
  EXPECT_EQ(sys.connect(connect_element(sys.logon())), expected);
  std::vector<std::string> calls = sys.calls(before);
  ASSERT_EQ(calls.size(), 4u) << ::testing::PrintToString(calls);
  EXPECT_EQ(calls[1], "CALL /ZZ/Z_QOR_DIALOG|PDEST=BACK|");
  EXPECT_EQ(calls[2],
            "CALLBACK Z_QOR_GET_REQUEST_PARAMETERS|FUNC_FLAG=I\nABAPPROG=/ZZ/Z_QOR_READ\n"
            "VARIANT=QORBATCH|OK");
  EXPECT_EQ(calls[3], "CALLBACK Z_QOR_SEND_SYSTEM_INFO|BATDEST=QORRFC\nBATPRID=QORRFC\n"
                      "BATGWH=127.0.0.1\nBATGWS=" + std::to_string(sys.r3sim().port()) +
                      "\nBATGWFL= \nBATMESS=|CALLED");
}

TEST(E2eConnect, EncodedPasswordsOfEveryByteValueLogOn) {
  E2eSystem sys(1);
  // R/3 passwords hold at most 40 characters: every byte value 1..255 is
  // tried in passwords of up to 40 characters. A double quote goes alone
  // (the logon text quotes a value with the quote character it lacks).
  std::vector<std::string> passwords{"\""};
  for (int c = 1; c < 256; ++c) {
    if (c == '"') continue;
    if (passwords.size() == 1 || passwords.back().size() == 40) passwords.emplace_back();
    passwords.back() += static_cast<char>(c);
  }
  for (const auto &pw : passwords) {
    r3sim::Stmt u = sys.r3sim().db().prepare(
        "UPDATE USR02 SET PASSWORD = ? WHERE MANDT = '800' AND BNAME = 'DEMO'");
    u.bind(1, pw).step();
    qorclient::LogonOptions l = sys.logon();
    l.password = pw;
    std::string line = sys.connect(connect_element(l));
    EXPECT_FALSE(qorclient::MainSession::is_error_line(line))
        << "password of " << pw.size() << " bytes from " << int(pw[0] & 0xFF) << ": " << line;
  }
}

TEST(E2eConnect, FailedLogonsReportTheirErrorBlocks) {
  E2eSystem sys(1);
  // An empty xpasswd is refused before any logon.
  EXPECT_EQ(sys.failing_request("<connect user=\"DEMO\" xpasswd=\"\"/>"),
            std::vector<std::string>{"E,invalid encrypted password"});
  // Text that does not decode: the program error block, and R/3 never asked.
  int64_t before = sys.last_call();
  qorclient::LogonOptions l = sys.logon();
  l.password.clear();
  std::string odd = connect_element(l);
  odd.insert(odd.size() - 2, " xpasswd=\"ABC\"");
  EXPECT_EQ(sys.failing_request(odd),
            rfc_error_block(101, "RFC_ERROR_PROGRAM", "Invalid encrypted password from QOR"));
  EXPECT_TRUE(sys.calls(before).empty());

  // A wrong password: the library's group, key and message lines.
  l.password = "wrong";
  std::vector<std::string> reply = sys.failing_request(connect_element(l));
  EXPECT_EQ(head(reply, 4), rfc_error_block(103, "RFC_ERROR_LOGON_FAILURE",
                                            "Name or password is incorrect (repeat logon)"));
  EXPECT_EQ(starting_with(reply, "E,Message    : ").size(), 3u) << ::testing::PrintToString(reply);

  // R/3 not reachable: a communication error of several message lines.
  l = sys.logon();
  l.gwserv = std::to_string(qtest::free_port());
  reply = sys.failing_request(connect_element(l));
  EXPECT_EQ(head(reply, 3), head(rfc_error_block(102, "RFC_ERROR_COMMUNICATION", ""), 3))
      << ::testing::PrintToString(reply);
  EXPECT_GE(starting_with(reply, "E,Message    : ").size(), 2u) << ::testing::PrintToString(reply);

  // The server still serves.
  EXPECT_EQ(sys.connect(connect_element(sys.logon())), expected_sysinfo_line(sys));
}

TEST(E2eConnect, PasswordNeverReachesTheLog) {
  E2eSystem sys(4);
  const std::string secret = "Zq7-very-secret";
  sys.r3sim().db().exec("UPDATE USR02 SET PASSWORD = '" + secret + "' WHERE BNAME = 'DEMO'");
  qorclient::LogonOptions l = sys.logon();
  l.password = secret;
  EXPECT_FALSE(qorclient::MainSession::is_error_line(sys.connect(connect_element(l))));
  l.plain_password = true;
  EXPECT_FALSE(qorclient::MainSession::is_error_line(sys.connect(connect_element(l))));
  l.password = secret + "-wrong";
  EXPECT_FALSE(sys.failing_request(connect_element(l)).empty());
  std::string log = sys.log();
  EXPECT_NE(log.find("passwd=\"????????\""), std::string::npos) << "the logon text was not logged";
  EXPECT_EQ(log.find(secret), std::string::npos) << "password found in the log";
  // The encoded form decodes to the password: it is as secret.
  EXPECT_EQ(log.find(qorclient::encode_password(secret)), std::string::npos)
      << "encoded password found in the log";
}

TEST(E2eConnect, QorcliInfoPrintsTheLineOrTheServersErrors) {
  E2eSystem sys(1);
  qorclient::LogonOptions l = sys.logon();
  std::vector<std::string> argv = {qtest::bin("qorcli"), "info", "--server",
                                   "127.0.0.1:" + std::to_string(sys.server_port()),
                                   "--ashost", l.ashost, "--sysnr", l.sysnr, "--gwserv", l.gwserv,
                                   "--client", l.client, "--user", l.user, "--password",
                                   l.password, "--lang", l.lang};
  {
    qtest::ChildProcess cli(argv);
    EXPECT_EQ(qtest::exit_code(cli.wait_exit()), 0) << cli.stderr_text();
    EXPECT_EQ(cli.stdout_text(), expected_sysinfo_line(sys) + "\n");
  }
  argv[argv.size() - 3] = "nope";  // the password
  argv.push_back("-v");            // the server's lines as they came
  qtest::ChildProcess cli(argv);
  EXPECT_EQ(qtest::exit_code(cli.wait_exit()), 1);
  EXPECT_EQ(cli.stdout_text(), "");
  EXPECT_EQ(cli.stderr_text().rfind("E,RFC Error:\nE,Error Group: 103\n", 0), 0u)
      << cli.stderr_text();
}

// The password encoding is a fixed public table, so neither the password
// nor its encoded form may reach the log, at any level, on any port.
TEST(E2eConnect, NoPasswordInTheLogAtAnyLevel) {
  for (int level = 1; level <= 6; ++level) {
    SCOPED_TRACE("debug level " + std::to_string(level));
    const int compat = qtest::free_port(), bcompat = qtest::free_port();
    E2eSystem sys(level, {"-c", std::to_string(compat), "-b",
                          "-p " + std::to_string(bcompat) + " -V QORBATCH"});
    ASSERT_TRUE(qtest::wait_for_port(compat));
    ASSERT_TRUE(qtest::wait_for_port(bcompat));
    qorclient::LogonOptions logon = sys.logon();
    const std::string encoded = qorclient::encode_password(logon.password);
    for (bool plain : {false, true}) {
      logon.plain_password = plain;
      EXPECT_EQ(sys.connect(connect_element(logon)).rfind("E,", 0), std::string::npos);
    }
    for (int port : {compat, bcompat}) {
      qorclient::CompatSession s(std::chrono::seconds(20));
      ASSERT_TRUE(s.open("127.0.0.1", port)) << s.error();
      for (const auto &c : qorclient::compat_logon_commands(sys.logon()))
        EXPECT_TRUE(s.command(c)) << c;
      // CPICPARM carries the password for the extraction as well.
      EXPECT_TRUE(s.command("CPICPARM p " + encoded));
      EXPECT_TRUE(s.command("CCONNECT")) << s.error();
    }
    const std::string log = sys.log();
    EXPECT_EQ(log.find(logon.password), std::string::npos) << log;
    EXPECT_EQ(log.find(encoded), std::string::npos) << log;
    if (level >= 3) {
      EXPECT_NE(log.find("CPARM p ????????"), std::string::npos) << log;
    }
  }
}

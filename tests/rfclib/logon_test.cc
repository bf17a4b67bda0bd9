// Opening connections: logon success and refusal, the moment of the logon
// check, attributes, and the ways to name the partner (gateway service,
// router string, saprfc.ini destination, message server).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <fstream>

#include "child_process.h"
#include "loopback.h"
#include "test_partner.h"

using namespace rfctest;

namespace {

int refuse_wrong_password(const RFCP_LOGON &logon, RFC_ERROR_INFO_EX &err) {
  if (std::string(logon.password) == "secret") return 0;
  err.group = RFC_ERROR_LOGON_FAILURE;
  std::strcpy(err.key, "RFC_ERROR_LOGON_FAILURE");
  std::strcpy(err.message, "Name or password is incorrect (repeat logon)\n\nuser " );
  std::strcat(err.message, logon.user);
  return 1;
}

std::string open_error(const std::string &cs, RFC_HANDLE *h = nullptr) {
  RFC_ERROR_INFO_EX err{};
  RFC_HANDLE handle = RfcOpenEx(const_cast<char *>(cs.c_str()), &err);
  if (h) *h = handle;
  if (handle != RFC_HANDLE_NULL) return "";
  return std::to_string(err.group) + " " + err.key + "\n" + err.message;
}

TEST(LogonTest, AcceptedLogonReportsItsAttributes) {
  TestPartner partner;
  RFCP_LOGON seen{};
  partner.set_logon_check([&](const RFCP_LOGON &l, RFC_ERROR_INFO_EX &) {
    seen = l;
    return 0;
  });
  RFC_HANDLE h;
  ASSERT_EQ(open_error(partner.connect_string("lang=DE"), &h), "");
  EXPECT_STREQ(seen.client, "001");
  EXPECT_STREQ(seen.user, "TEST");
  EXPECT_STREQ(seen.password, "secret");
  EXPECT_STREQ(seen.language, "DE");
  EXPECT_STREQ(seen.client_host, "127.0.0.1");
  RFC_ATTRIBUTES a;
  ASSERT_EQ(RfcGetAttributes(h, &a), 0);
  EXPECT_STREQ(a.partner_host, "127.0.0.1");
  EXPECT_STREQ(a.sysid, "QR1");
  EXPECT_STREQ(a.systnr, "00");
  EXPECT_STREQ(a.client, "001");
  EXPECT_STREQ(a.user, "TEST");
  EXPECT_STREQ(a.ISO_language, "DE");
  EXPECT_STREQ(a.own_codepage, "1100");
  EXPECT_STREQ(a.partner_codepage, "1100");
  EXPECT_STREQ(a.pcs, "1");
  EXPECT_STREQ(a.kernel_rel, "46D");
  EXPECT_EQ(a.rfc_role, 'C');
  RfcClose(h);
  EXPECT_EQ(RfcGetAttributes(h, &a), 1);
}

TEST(LogonTest, RefusedLogonFailsAtOpenOrAtTheFirstCall) {
  TestPartner partner;
  partner.set_logon_check(refuse_wrong_password);
  std::string cs = "ashost=127.0.0.1 sysnr=00 gwserv=" + std::to_string(partner.port()) +
                   " client=001 user=ANNA passwd=\"wrong one\" ";
  std::string expected = "103 RFC_ERROR_LOGON_FAILURE\nName or password is incorrect (repeat logon)\n\nuser ANNA";
  EXPECT_EQ(open_error(cs), expected);
  RFC_ERROR_INFO_EX last{};
  ASSERT_EQ(RfcLastErrorEx(&last), 0);
  EXPECT_EQ(last.group, RFC_ERROR_LOGON_FAILURE);

  // Without lcheck the logon goes with the first call.
  RFC_HANDLE h;
  ASSERT_EQ(open_error(cs + "lcheck=0", &h), "");
  char *exc = nullptr;
  EXPECT_EQ(RfcCallReceive(h, const_cast<char *>("RFC_PING"), nullptr, nullptr, nullptr, &exc),
            RFC_FAILURE);
  ASSERT_EQ(RfcLastErrorEx(&last), 0);
  EXPECT_EQ(std::to_string(last.group) + " " + last.key + "\n" + last.message, expected);
  RfcClose(h);
}

TEST(LogonTest, UnreachablePartnerAndMissingHostReadLikeTheClassicErrors) {
  int port = qtest::free_port();
  EXPECT_EQ(open_error("ashost=127.0.0.1 gwserv=" + std::to_string(port) + " user=A"),
            "102 RFC_ERROR_COMMUNICATION\nConnect to SAP gateway failed\n"
            "Connect_PM  GWHOST=127.0.0.1, GWSERV=" + std::to_string(port) + "\n"
            "LOCATION    CPIC (TCP/IP) on local host\n"
            "ERROR       partner '127.0.0.1:" + std::to_string(port) + "' not reached");
  EXPECT_EQ(open_error("client=000 user=A"),
            "101 RFC_ERROR_PROGRAM\nMissing R3NAME=... or ASHOST=... in connect_param in RfcOpenEx");
  EXPECT_EQ(open_error("ashost=127.0.0.1 passwd=\"unclosed"),
            "101 RFC_ERROR_PROGRAM\nunclosed quote in the value of PASSWD");
}

TEST(LogonTest, PartnerNamedByRouterStringDestinationOrMessageServer) {
  TestPartner partner;
  std::string port = std::to_string(partner.port());
  RFC_HANDLE h;
  ASSERT_EQ(open_error("ASHOST=/H/127.0.0.1/S/" + port + " CLIENT=001 USER=TEST PASSWD=x", &h), "");
  RfcClose(h);

  qtest::TempDir dir;
  std::ofstream(dir.file("saprfc.ini"))
      << "DEST=OTHER\nTYPE=A\nASHOST=127.0.0.2\nSYSNR=99\n\n"
      << "DEST=QR1\nTYPE=A\nASHOST=127.0.0.1\nGWSERV=" << port << "\n";
  ::setenv("RFC_INI", dir.file("saprfc.ini").c_str(), 1);
  ASSERT_EQ(open_error("dest=QR1 client=001 user=TEST passwd=x", &h), "");
  RFC_ATTRIBUTES a;
  ASSERT_EQ(RfcGetAttributes(h, &a), 0);
  EXPECT_STREQ(a.dest, "QR1");
  RfcClose(h);
  EXPECT_NE(open_error("dest=NOPE user=A").find("Destination NOPE not found"), std::string::npos);
  ::unsetenv("RFC_INI");

  // The partner's listener also answers as message server.
  ASSERT_EQ(open_error("mshost=127.0.0.1 msserv=" + port + " r3name=QR1 group=PUBLIC client=001 user=T", &h),
            "");
  RfcClose(h);
}

}  // namespace

// A connect request against an application server hosted in the test (the
// library's partner side) whose dialog function module plays R/3's part
// of a connect: it asks for the request parameters and reports the system
// information. Checks what each side received.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>

#include "password_text.h"
#include "server_under_test.h"
#include "test_partner.h"

namespace {

using namespace std::chrono_literals;

struct Seen {
  std::mutex mutex;
  std::string password, user, client, pdest, func_flag, abapprog, variant;
};

void dialog_module(RFC_HANDLE h, rfctest::TestPartner &partner, Seen &seen) {
  char pdest[5] = "";
  RFC_PARAMETER in[] = {rfctest::param("PDEST", pdest, 4), rfctest::kEndParam};
  RFC_TABLE no_tables[] = {rfctest::kEndTable};
  RfcGetData(h, in, no_tables);
  char flag[2] = "", prog[41] = "", variant[15] = "";
  RFC_PARAMETER grp[] = {rfctest::param("FUNC_FLAG", flag, 1), rfctest::param("ABAPPROG", prog, 40),
                         rfctest::param("VARIANT", variant, 14), rfctest::kEndParam};
  RFC_PARAMETER none[] = {rfctest::kEndParam};
  partner.call_serving(h, "Z_QOR_GET_REQUEST_PARAMETERS", none, grp, no_tables);
  char sysinfo[] = "QR1,r3host,46C,";
  char dest[] = "QORDEST", prid[] = "QORPRID", gwh[] = "gwhost", gws[] = "sapgw00", gwfl[] = "X";
  RFC_PARAMETER ssi[] = {rfctest::param("SYSINFO", sysinfo, std::strlen(sysinfo)),
                         rfctest::param("BATDEST", dest, std::strlen(dest)),
                         rfctest::param("BATPRID", prid, std::strlen(prid)),
                         rfctest::param("BATGWH", gwh, std::strlen(gwh)),
                         rfctest::param("BATGWS", gws, std::strlen(gws)),
                         rfctest::param("BATGWFL", gwfl, 1), rfctest::kEndParam};
  partner.call_serving(h, "Z_QOR_SEND_SYSTEM_INFO", ssi, none, no_tables);
  {
    std::lock_guard<std::mutex> lock(seen.mutex);
    seen.pdest = rfctest::trimmed(pdest, 4);
    seen.func_flag = rfctest::trimmed(flag, 1);
    seen.abapprog = rfctest::trimmed(prog, 40);
    seen.variant = rfctest::trimmed(variant, 14);
  }
  RfcSendData(h, none, no_tables);
}

class ConnectFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    partner_.add("/QOR/Z_QOR_DIALOG", [this](RFC_HANDLE h) { dialog_module(h, partner_, seen_); });
    partner_.set_logon_check([this](const RFCP_LOGON &logon, RFC_ERROR_INFO_EX &) {
      std::lock_guard<std::mutex> lock(seen_.mutex);
      seen_.password = logon.password;
      seen_.user = logon.user;
      seen_.client = logon.client;
      return 0;
    });
  }
  std::string target() const {
    return "ashost=\"127.0.0.1\" gwserv=\"" + std::to_string(partner_.port()) +
           "\" client=\"800\" user=\"QORUSER\" sysnr=\"00\" lang=\"E\"";
  }

  rfctest::TestPartner partner_;
  Seen seen_;
};

TEST_F(ConnectFlow, SystemInformationLineAndTheConnectionStaysOpen) {
  qtest::ServerUnderTest server({"-V", "qorvar"});
  ASSERT_TRUE(server.ready());
  qtest::Conn conn(server.port());
  ASSERT_EQ(conn.read_exact(130).size(), 130u);
  conn.send("<connect " + target() + " xpasswd=\"" + qtest::password_text("Pa\"ss w0rd") + "\"/>\n");
  EXPECT_EQ(conn.read_line(), "QR1,r3host,46C,1100,LIT,IE3,N,/QOR/,1,1,\n");
  // The connect request is done; the connection waits for the next message.
  EXPECT_FALSE(conn.wait_closed(300ms));
  std::lock_guard<std::mutex> lock(seen_.mutex);
  EXPECT_EQ(seen_.password, "Pa\"ss w0rd");
  EXPECT_EQ(seen_.user, "QORUSER");
  EXPECT_EQ(seen_.client, "800");
  EXPECT_EQ(seen_.pdest, "BACK");
  EXPECT_EQ(seen_.func_flag, "I");
  EXPECT_EQ(seen_.abapprog, "/QOR/Z_QOR_READ");
  EXPECT_EQ(seen_.variant, "QORVAR");
}

TEST_F(ConnectFlow, WrongPasswordGivesTheLibrarysErrorBlock) {
  partner_.set_logon_check([](const RFCP_LOGON &logon, RFC_ERROR_INFO_EX &e) {
    if (std::string(logon.password) == "right") return 0;
    e.group = RFC_ERROR_LOGON_FAILURE;
    std::strcpy(e.key, "RFC_ERROR_LOGON_FAILURE");
    std::strcpy(e.message, "Name or password is incorrect (repeat logon)\nLOCATION    here");
    return 1;
  });
  qtest::ServerUnderTest server;
  ASSERT_TRUE(server.ready());
  qtest::Conn conn(server.port());
  ASSERT_EQ(conn.read_exact(130).size(), 130u);
  conn.send("<connect " + target() + " passwd=\"wrong\"/>\n");
  EXPECT_EQ(conn.read_all(10s),
            "E,RFC Error:\nE,Error Group: 103\nE,Key        : RFC_ERROR_LOGON_FAILURE\n"
            "E,Message    : Name or password is incorrect (repeat logon)\nE,Message    : LOCATION    here\n");
}

}  // namespace

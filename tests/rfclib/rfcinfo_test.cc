// rfcinfo as an administrator runs it, against a partner in this process.
#include <gtest/gtest.h>

#include <cstring>

#include "child_process.h"
#include "test_partner.h"

using namespace rfctest;

TEST(RfcinfoTest, PrintsTheSystemFieldsOrTheError) {
  TestPartner partner;
  partner.add("RFC_SYSTEM_INFO", [](RFC_HANDLE h) {
    char rfcsi[200];
    std::memset(rfcsi, ' ', sizeof rfcsi);
    std::memcpy(rfcsi + 0, "011", 3);
    std::memcpy(rfcsi + 3, "1100", 4);
    std::memcpy(rfcsi + 53, "QR1", 3);
    std::memcpy(rfcsi + 111, "46C", 3);
    std::memcpy(rfcsi + 152, "46D", 3);
    RFC_PARAMETER out[] = {param("RFCSI_EXPORT", rfcsi, sizeof rfcsi), kEndParam};
    RfcSendData(h, out, nullptr);
  });
  qtest::ChildProcess ok({qtest::bin("rfcinfo"), partner.connect_string()});
  ASSERT_EQ(qtest::exit_code(ok.wait_exit()), 0) << ok.stderr_text();
  std::string out = ok.stdout_text();
  EXPECT_EQ(out.substr(0, 29), "RFCPROTO 011\nRFCCHARTYP 1100\n");
  EXPECT_NE(out.find("\nRFCSYSID QR1\n"), std::string::npos);
  EXPECT_NE(out.find("\nRFCSAPRL 46C\n"), std::string::npos);
  EXPECT_NE(out.find("\nRFCKERNRL 46D\n"), std::string::npos);
  EXPECT_NE(out.find("\nRFCSI_RESV \n"), std::string::npos);

  partner.set_logon_check([](const RFCP_LOGON &, RFC_ERROR_INFO_EX &e) {
    e.group = RFC_ERROR_LOGON_FAILURE;
    std::strcpy(e.key, "RFC_ERROR_LOGON_FAILURE");
    std::strcpy(e.message, "User locked\nby administrator");
    return 1;
  });
  qtest::ChildProcess refused({qtest::bin("rfcinfo"), partner.connect_string()});
  ASSERT_EQ(qtest::exit_code(refused.wait_exit()), 1);
  EXPECT_EQ(refused.stdout_text(),
            "Error Group: 103\nKey        : RFC_ERROR_LOGON_FAILURE\n"
            "Message    : User locked\nMessage    : by administrator\n");
}

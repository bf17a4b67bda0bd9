// The logon texts a connect element becomes: pairs in the parsed
// element's attribute order, which is by name whatever order the client
// wrote them in (the grammar's default trace included), the password
// only in the text for the library, xpasswd kept apart.
#include <gtest/gtest.h>

#include <string>

#include "qorrfc_v9connect_request.h"
#include "xml_test_support.h"

namespace {

::testing::Environment *const xerces = ::testing::AddGlobalTestEnvironment(new qtest::XercesEnvironment);

struct Built {
  int result;
  std::string text, log_text, encrypted;
};

Built build(const std::string &message) {
  auto parser = qtest::parse_message("connect", message);
  EXPECT_TRUE(parser) << message;
  if (!parser) return {-2, "", "", ""};
  Qorrfc_V9connect_Request request(nullptr, parser.release());
  int result = request.parse_common_attributes();
  const char *encrypted = request.encrypted_password();
  return {result, request.connect_string(), request.log_connect_string(),
          encrypted ? encrypted : "<none>"};
}

TEST(ConnectString, PairsInAttributeOrderWithPasswordMasked) {
  Built b = build("<connect user=\"u1\" passwd=\"secret\" ashost=\"host\"/>");
  EXPECT_EQ(b.result, 0);
  EXPECT_EQ(b.text, "ashost=\"host\" passwd=\"secret\" trace=\"0\" user=\"u1\" ");
  EXPECT_EQ(b.log_text, "ashost=\"host\" passwd=\"????????\" trace=\"0\" user=\"u1\" ");
  EXPECT_EQ(b.encrypted, "<none>");
}

TEST(ConnectString, XpasswdIsKeptApartAndCutAtItsFirstBlank) {
  Built b = build("<connect xpasswd=\"0a1b 2c\" abapfm=\"F\" abapprog=\"P\" qordebug=\"y\" client=\"800\"/>");
  EXPECT_EQ(b.result, 0);
  EXPECT_EQ(b.text, "client=\"800\" trace=\"0\" ");
  EXPECT_EQ(b.log_text, b.text);
  EXPECT_EQ(b.encrypted, "0a1b");
}

TEST(ConnectString, CstringIsCopiedVerbatimIntoBothTexts) {
  Built b = build("<connect cstring=\"ASHOST=h passwd=x\" sysnr=\"00\"/>");
  EXPECT_EQ(b.text, "ASHOST=h passwd=x sysnr=\"00\" trace=\"0\" ");
  EXPECT_EQ(b.log_text, b.text);
}

TEST(ConnectString, AValueWithADoubleQuoteIsQuotedWithSingleQuotes) {
  Built b = build("<connect user='a\"b' passwd='p\"w'/>");
  EXPECT_EQ(b.text, "passwd='p\"w' trace=\"0\" user='a\"b' ");
  EXPECT_EQ(b.log_text, "passwd=\"????????\" trace=\"0\" user='a\"b' ");
}

TEST(ConnectString, EmptyXpasswdFailsBeforeAnyLogon) {
  Built b = build("<connect user=\"u\" xpasswd=\"\"/>");
  EXPECT_EQ(b.result, -1);
}

TEST(ConnectString, TextsStopAt999Characters) {
  std::string host(600, 'h'), user(600, 'u');
  Built b = build("<connect user=\"" + user + "\" ashost=\"" + host + "\"/>");
  EXPECT_EQ(b.result, 0);
  EXPECT_EQ(b.text.size(), 999u);
  EXPECT_EQ(b.text.substr(0, 610), "ashost=\"" + host + "\" ");
  EXPECT_EQ(b.text.substr(610), "trace=\"0\" user=\"" + user.substr(0, 999 - 610 - 16));
}

}  // namespace

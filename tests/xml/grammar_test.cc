// The grammars: their newline counts shift the client's line numbers, so
// they are part of the protocol; and each must accept what it declares.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "qorrfc_grammars.h"
#include "xml_test_support.h"

namespace {

::testing::Environment *const xerces = ::testing::AddGlobalTestEnvironment(new qtest::XercesEnvironment);

long newlines(const char *root) {
  const Qorrfc_Grammar &g = qorrfc_grammar(root);
  return std::count(g.prefix, g.prefix + g.length, '\n');
}

TEST(Grammars, NewlineCountsAndChoice) {
  EXPECT_EQ(newlines("connect"), 20);
  EXPECT_EQ(newlines("sselect"), 24);
  EXPECT_EQ(newlines("nselect"), 31);
  EXPECT_EQ(newlines("gselect"), 24);
  EXPECT_EQ(newlines("function"), 34);
  EXPECT_EQ(newlines("Connect"), 1);
  EXPECT_EQ(std::string(qorrfc_grammar("other").prefix),
            "<?xml version=\"1.0\"?><!DOCTYPE dummy [<!ELEMENT dummy EMPTY>]> <dummy/>\n");
  // The connect element and its first attribute share the first line.
  EXPECT_EQ(std::string(qorrfc_grammar("connect").prefix).find("<!DOCTYPE connect [<!ELEMENT connect EMPTY><!ATTLIST connect abapfm CDATA #IMPLIED>\n"),
            21u);
}

TEST(Grammars, AcceptWhatTheyDeclare) {
  EXPECT_TRUE(qtest::parse_message("connect", "<connect user=\"u\" trace=\"1\" xpasswd=\"00\"/>"));
  EXPECT_FALSE(qtest::parse_message("connect", "<connect trace=\"2\"/>"));
  EXPECT_FALSE(qtest::parse_message("connect", "<connect pwd=\"x\"/>"));
  EXPECT_TRUE(qtest::parse_message(
      "sselect", "<sselect chandle=\"h\" data=\"y\"><field name=\"A\"/><table name=\"T\"/><where>X</where></sselect>"));
  EXPECT_FALSE(qtest::parse_message("sselect", "<sselect chandle=\"h\"><field name=\"A\"/></sselect>"));
  EXPECT_TRUE(qtest::parse_message(
      "nselect", "<nselect><sselect><table name=\"A\"/><field name=\"F\" suppress=\"y\"/></sselect></nselect>"));
  EXPECT_FALSE(qtest::parse_message("nselect", "<nselect><sselect><field name=\"F\"/></sselect></nselect>"));
  EXPECT_TRUE(qtest::parse_message("gselect", "<gselect><field name=\"F\"/></gselect>"));
  EXPECT_TRUE(qtest::parse_message(
      "gselect", "<gselect><table name=\"A\" join=\"left\"><on>A~X = B~X</on></table><table name=\"B\"/></gselect>"));
  EXPECT_TRUE(qtest::parse_message(
      "function",
      "<function name=\"F\" data=\"Y\"><parameter name=\"P\" intlen=\"4\" paramclass=\"E\"><i><d>AAAA</d></i></parameter>"
      "<table name=\"T\" intlen=\"12\" structure=\"S\"><field name=\"A\" type=\"C\" len=\"4\" offset=\"0\"/></table>"
      "<callback name=\"C\"/><exception name=\"E\"/></function>"));
  EXPECT_FALSE(qtest::parse_message("function", "<function><parameter name=\"P\" intlen=\"4\"/></function>"));
}

TEST(Grammars, DefaultsArePresentInTheDocument) {
  auto parser = qtest::parse_message("connect", "<connect user=\"u\"/>");
  ASSERT_TRUE(parser);
  XMLCh trace[] = {'t', 'r', 'a', 'c', 'e', 0};
  const XMLCh *value = parser->getDocument()->getDocumentElement()->getAttribute(trace);
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value[0], '0');
  EXPECT_EQ(value[1], 0);
}

}  // namespace

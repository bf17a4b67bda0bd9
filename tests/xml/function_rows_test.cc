// Rows and row types of function elements: base64 rows cut to their
// length, and field elements turned into installed structures.
#include <gtest/gtest.h>
#include <xercesc/dom/DOMNodeList.hpp>

#include <cstring>
#include <string>

#include "qorrfc_v9function_request.h"
#include "rfc_lists.h"
#include "xml_test_support.h"

XERCES_CPP_NAMESPACE_USE

namespace {

::testing::Environment *const xerces = ::testing::AddGlobalTestEnvironment(new qtest::XercesEnvironment);

DOMElement *first(XercesDOMParser &parser, const char *name) {
  XMLCh *tag = XMLString::transcode(name);
  DOMNodeList *list = parser.getDocument()->getElementsByTagName(tag);
  XMLString::release(&tag);
  return list->getLength() ? static_cast<DOMElement *>(list->item(0)) : nullptr;
}

}  // namespace

TEST(FunctionRows, DecodeFillsTheRowAndDropsTheRest) {
  // "AAECAwQF" is 00..05, " BgcI" 06..08 with white space inside; the row
  // takes 8 bytes, and text that is not base64 adds nothing.
  auto parser = qtest::parse_message(
      "function",
      "<function><table name=\"T\" intlen=\"8\"><i><d>AAECAwQF</d><d>!!</d><d> Bg cI\n</d></i>"
      "</table></function>");
  ASSERT_TRUE(parser);
  char row[9];
  std::memset(row, 'z', sizeof row);
  EXPECT_EQ(Qorrfc_V9function_Request::decode_row(first(*parser, "i"), row, 8), 8u);
  EXPECT_EQ(std::string(row, 9), std::string("\x00\x01\x02\x03\x04\x05\x06\x07z", 9));
}

TEST(FunctionRows, PlainStructureFillsGapsAndTheRowEnd) {
  auto parser = qtest::parse_message(
      "function",
      "<function><table name=\"T\" intlen=\"12\" structure=\"ZPADTEST\">"
      "<field name=\"A\" type=\"I\" len=\"4\" offset=\"0\"/>"
      "<field name=\"B\" type=\"C\" len=\"2\" offset=\"8\"/></table>"
      "<table name=\"U\" intlen=\"12\" structure=\"ZUNITEST\">"
      "<field name=\"A\" type=\"C\" len=\"2\" offset=\"0\" len2=\"4\" offset2=\"0\" len4=\"8\" offset4=\"0\"/>"
      "</table><table name=\"E\" intlen=\"4\" structure=\"ZNONE\"/></function>");
  ASSERT_TRUE(parser);
  DOMNodeList *tables = parser->getDocument()->getElementsByTagName(u"table");
  RFC_TYPEHANDLE type = 0;
  ASSERT_EQ(Qorrfc_V9function_Request::build_structure(
                static_cast<DOMElement *>(tables->item(0)), "ZPADTEST", 12, &type), 0);
  // A (4), PAD (4), B (2), PAD (2): the whole row.
  EXPECT_EQ(rfcl::structure_size(type), 12u);
  EXPECT_EQ(Qorrfc_V9function_Request::build_structure(
                static_cast<DOMElement *>(tables->item(1)), "ZUNITEST", 12, &type), 0);
  EXPECT_EQ(Qorrfc_V9function_Request::build_structure(
                static_cast<DOMElement *>(tables->item(2)), "ZNONE", 4, &type), -1);
}

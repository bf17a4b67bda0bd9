// Helpers for tests that parse messages in process: Xerces-C initialised
// once, and a client message parsed against the server's grammar.
#pragma once

#include <gtest/gtest.h>
#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include <memory>
#include <string>

#include "qorrfc_grammars.h"

namespace qtest {

class XercesEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { XERCES_CPP_NAMESPACE::XMLPlatformUtils::Initialize(); }
  void TearDown() override { XERCES_CPP_NAMESPACE::XMLPlatformUtils::Terminate(); }
};

// The message parsed (validating) with the grammar of root; null when the
// parser reported errors.
inline std::unique_ptr<XERCES_CPP_NAMESPACE::XercesDOMParser> parse_message(
    const std::string &root, const std::string &message) {
  using namespace XERCES_CPP_NAMESPACE;
  const Qorrfc_Grammar &grammar = qorrfc_grammar(root.c_str());
  std::string text = std::string(grammar.prefix, grammar.length) + message;
  std::unique_ptr<XercesDOMParser> parser(new XercesDOMParser);
  parser->setValidationScheme(XercesDOMParser::Val_Always);
  MemBufInputSource source(reinterpret_cast<const XMLByte *>(text.data()), text.size(), "test");
  parser->parse(source);
  if (parser->getErrorCount() != 0) return nullptr;
  return parser;
}

}  // namespace qtest

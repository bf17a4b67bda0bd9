// Keeps a parser inside the message: a message may name external DTDs or
// entities (URLs, files), and the parser must open none of them. Every
// external reference is refused and entity expansion is bounded.
#pragma once

#include <xercesc/sax/EntityResolver.hpp>
#include <xercesc/util/SecurityManager.hpp>

class Qorrfc_No_Entities : public XERCES_CPP_NAMESPACE::EntityResolver {
 public:
  // Called by the parser for every external DTD or entity: refused.
  XERCES_CPP_NAMESPACE::InputSource *resolveEntity(const XMLCh *const, const XMLCh *const) override {
    return nullptr;
  }

  // Switches off every way the parser could load something from outside.
  // The resolver must outlive the parser's use of it.
  template <class Parser>
  void confine(Parser &parser) {
    parser.setLoadExternalDTD(false);
    parser.setDisableDefaultEntityResolution(true);
    parser.setEntityResolver(this);
    parser.setDoSchema(false);
    parser.setLoadSchema(false);
    parser.setDoNamespaces(false);
    security_.setEntityExpansionLimit(ENTITY_EXPANSION_LIMIT);
    parser.setSecurityManager(&security_);
  }

 private:
  enum { ENTITY_EXPANSION_LIMIT = 1000 };
  XERCES_CPP_NAMESPACE::SecurityManager security_;
};

// Notes the name of the first element a parse reports, in the local code
// page, and whether the parse has failed; everything else is ignored.
#pragma once

#include <xercesc/sax/HandlerBase.hpp>

class gettypeHandler : public XERCES_CPP_NAMESPACE::HandlerBase {
 public:
  gettypeHandler() = default;
  ~gettypeHandler() override;

  // Called by the parser at every start tag.
  void startElement(const XMLCh *const name, XERCES_CPP_NAMESPACE::AttributeList &attributes) override;
  // Called by the parser for errors. Validity does not matter here; after
  // a well-formedness error no further parse step may be taken.
  void error(const XERCES_CPP_NAMESPACE::SAXParseException &) override {}
  void fatalError(const XERCES_CPP_NAMESPACE::SAXParseException &) override { failed_ = true; }

  const char *name() const { return name_; }
  bool failed() const { return failed_; }
  // Hands the name over; the caller frees it with XMLString::release.
  char *take_name();

 private:
  char *name_ = nullptr;
  bool failed_ = false;
};

// Tells a client what the parser found wrong with its message, one error
// line per error, and remembers that there was one.
#pragma once

#include <xercesc/sax/ErrorHandler.hpp>

class Qorrfc_Base_Handler;

class qorrfc_service_xmlerr : public XERCES_CPP_NAMESPACE::ErrorHandler {
 public:
  // handler receives the error lines; it must outlive the parse.
  explicit qorrfc_service_xmlerr(Qorrfc_Base_Handler *handler) : handler_(handler) {}

  // Called by the parser for anything it could carry on after; ignored.
  void warning(const XERCES_CPP_NAMESPACE::SAXParseException &) override {}
  // Called by the parser for a validity error; parsing goes on.
  void error(const XERCES_CPP_NAMESPACE::SAXParseException &e) override;
  // Called by the parser for a well-formedness error; parsing stops.
  void fatalError(const XERCES_CPP_NAMESPACE::SAXParseException &e) override;
  // Called by the parser before it starts.
  void resetErrors() override {}

  bool saw_error() const { return saw_error_; }

 private:
  void report(const char *format, const XERCES_CPP_NAMESPACE::SAXParseException &e);

  bool saw_error_ = false;
  Qorrfc_Base_Handler *handler_;
};

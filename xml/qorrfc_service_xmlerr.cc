#include "qorrfc_service_xmlerr.h"

#include <ace/OS_NS_stdio.h>
#include <xercesc/sax/SAXParseException.hpp>

#include "qorrfc_base_handler.h"
#include "qorrfc_xml_text.h"

XERCES_CPP_NAMESPACE_USE

void qorrfc_service_xmlerr::error(const SAXParseException &e) {
  report("Error at line %d, column %d. Message: %s\n", e);
}

void qorrfc_service_xmlerr::fatalError(const SAXParseException &e) {
  report("Fatal Error at line %d, column %d. Message: %s\n", e);
}

void qorrfc_service_xmlerr::report(const char *format, const SAXParseException &e) {
  saw_error_ = true;
  char text[2048];
  ACE_OS::snprintf(text, sizeof text, format, static_cast<int>(e.getLineNumber()),
                   static_cast<int>(e.getColumnNumber()), qorrfc_local_text(e.getMessage()).c_str());
  if (handler_) handler_->send_error(text, 0);
}

#include "qorrfc_gettype_handler.h"

#include <xercesc/util/XMLString.hpp>

XERCES_CPP_NAMESPACE_USE

gettypeHandler::~gettypeHandler() { XMLString::release(&name_); }

void gettypeHandler::startElement(const XMLCh *const name, AttributeList &) {
  if (name_ == nullptr) name_ = XMLString::transcode(name);
}

char *gettypeHandler::take_name() {
  char *name = name_;
  name_ = nullptr;
  return name;
}

#include "qorrfc_xml_text.h"

#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/util/XMLString.hpp>

XERCES_CPP_NAMESPACE_USE

std::string qorrfc_local_text(const XMLCh *text) {
  if (text == nullptr) return std::string();
  char *local = XMLString::transcode(text);
  std::string result(local ? local : "");
  XMLString::release(&local);
  return result;
}

std::string qorrfc_attribute(const DOMElement *element, const char *name) {
  if (element == nullptr) return std::string();
  XMLCh *xml_name = XMLString::transcode(name);
  std::string value = qorrfc_local_text(element->getAttribute(xml_name));
  XMLString::release(&xml_name);
  return value;
}

// Names and values from parsed documents in the local code page.
#pragma once

#include <xercesc/util/XercesDefs.hpp>

#include <string>

XERCES_CPP_NAMESPACE_BEGIN
class DOMElement;
XERCES_CPP_NAMESPACE_END

// "" for a null text or one that cannot be transcoded.
std::string qorrfc_local_text(const XMLCh *text);
// The element's attribute; "" when absent or when there is no element.
std::string qorrfc_attribute(const XERCES_CPP_NAMESPACE::DOMElement *element, const char *name);

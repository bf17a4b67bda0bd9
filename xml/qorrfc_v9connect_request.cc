#include "qorrfc_v9connect_request.h"

#include <ace/OS_NS_string.h>
#include <xercesc/dom/DOMAttr.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNamedNodeMap.hpp>

#include <cstring>

#include "qorrfc_xml_text.h"

XERCES_CPP_NAMESPACE_USE

Qorrfc_V9connect_Request::Qorrfc_V9connect_Request(Qorrfc_Base_Handler *request_connection,
                                                   XercesDOMParser *parser)
    : Qorrfc_Base_Request(request_connection, parser) {}

int Qorrfc_V9connect_Request::parse_common_attributes() {
  logon_connection_ = request_connection_;
  connect_string_[0] = '\0';
  log_connect_string_[0] = '\0';
  size_t end = 0, log_end = 0;
  DOMNamedNodeMap *attributes = root_ ? root_->getAttributes() : nullptr;
  XMLSize_t count = attributes ? attributes->getLength() : 0;
  for (XMLSize_t i = 0; i < count; ++i) {
    DOMNode *attribute = attributes->item(i);
    std::string name = qorrfc_local_text(attribute->getNodeName());
    std::string value = qorrfc_local_text(attribute->getNodeValue());
    if (name == "xpasswd") {
      if (value.empty()) {
        send_error("invalid encrypted password");
        return -1;
      }
      value = value.substr(0, value.find(' '));
      encrypted_password_.reset(new char[value.size() + 1]);
      ACE_OS::strcpy(encrypted_password_.get(), value.c_str());
    } else if (name == "abapfm" || name == "abapprog" || name == "qordebug") {
      continue;
    } else if (name == "cstring") {
      append_connect_text(connect_string_, end, nullptr, value.c_str());
      append_connect_text(log_connect_string_, log_end, nullptr, value.c_str());
    } else if (name == "passwd") {
      append_connect_text(connect_string_, end, name.c_str(), value.c_str());
      append_connect_text(log_connect_string_, log_end, name.c_str(), "????????");
    } else {
      append_connect_text(connect_string_, end, name.c_str(), value.c_str());
      append_connect_text(log_connect_string_, log_end, name.c_str(), value.c_str());
    }
  }
  parameters_handler_ = &Qorrfc_Base_Request::handle_grp_connect;
  return 0;
}

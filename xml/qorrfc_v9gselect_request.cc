#include "qorrfc_v9gselect_request.h"

#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNodeList.hpp>
#include <xercesc/util/XMLString.hpp>

XERCES_CPP_NAMESPACE_USE

Qorrfc_V9gselect_Request::Qorrfc_V9gselect_Request(Qorrfc_Base_Handler *request_connection,
                                                   XercesDOMParser *parser)
    : Qorrfc_V9select_Request(request_connection, parser,
                              &Qorrfc_Base_Request::handle_grp_gselect) {}

// The grammar lets a gselect name no table. Such a select has nothing to
// select from and no table for its fields; it is refused before R/3 is
// troubled with it.
int Qorrfc_V9gselect_Request::parse_common_attributes() {
  int result = Qorrfc_V9select_Request::parse_common_attributes();
  if (result != 0) return result;
  XMLCh *table = XMLString::transcode("table");
  DOMNodeList *tables = root_ ? root_->getElementsByTagName(table) : nullptr;
  XMLString::release(&table);
  if (tables && tables->getLength() > 0) return 0;
  send_error("gselect names no table");
  return -1;
}

// The request classes of the main port, by root element name.
#pragma once

#include <xercesc/util/XercesDefs.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class XercesDOMParser;
XERCES_CPP_NAMESPACE_END

class Qorrfc_Base_Handler;
class Qorrfc_Base_Request;

// A new request for root taking parser over, or null (parser stays the
// caller's) when this server has no request of that name.
Qorrfc_Base_Request *qorrfc_make_v9_request(const char *root, Qorrfc_Base_Handler *handler,
                                            XERCES_CPP_NAMESPACE::XercesDOMParser *parser);

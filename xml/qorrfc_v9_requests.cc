#include "qorrfc_v9_requests.h"

#include <cstring>

#include "qorrfc_v9connect_request.h"
#include "qorrfc_v9function_request.h"
#include "qorrfc_v9gselect_request.h"
#include "qorrfc_v9nselect_request.h"
#include "qorrfc_v9sselect_request.h"

XERCES_CPP_NAMESPACE_USE

Qorrfc_Base_Request *qorrfc_make_v9_request(const char *root, Qorrfc_Base_Handler *handler,
                                            XercesDOMParser *parser) {
  if (std::strcmp(root, "connect") == 0) return new Qorrfc_V9connect_Request(handler, parser);
  if (std::strcmp(root, "sselect") == 0) return new Qorrfc_V9sselect_Request(handler, parser);
  if (std::strcmp(root, "nselect") == 0) return new Qorrfc_V9nselect_Request(handler, parser);
  if (std::strcmp(root, "gselect") == 0) return new Qorrfc_V9gselect_Request(handler, parser);
  if (std::strcmp(root, "function") == 0) return new Qorrfc_V9function_Request(handler, parser);
  return nullptr;
}

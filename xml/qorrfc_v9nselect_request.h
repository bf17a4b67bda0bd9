// A nselect element: several single-table selects in one request.
#pragma once

#include "qorrfc_v9select_request.h"

class Qorrfc_V9nselect_Request : public Qorrfc_V9select_Request {
 public:
  Qorrfc_V9nselect_Request(Qorrfc_Base_Handler *request_connection,
                           XERCES_CPP_NAMESPACE::XercesDOMParser *parser);
};

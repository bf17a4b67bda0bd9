// A sselect element: one select from one table.
#pragma once

#include "qorrfc_v9select_request.h"

class Qorrfc_V9sselect_Request : public Qorrfc_V9select_Request {
 public:
  Qorrfc_V9sselect_Request(Qorrfc_Base_Handler *request_connection,
                           XERCES_CPP_NAMESPACE::XercesDOMParser *parser);
};

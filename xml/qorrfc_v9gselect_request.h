// A gselect element: one select from several joined tables.
#pragma once

#include "qorrfc_v9select_request.h"

class Qorrfc_V9gselect_Request : public Qorrfc_V9select_Request {
 public:
  Qorrfc_V9gselect_Request(Qorrfc_Base_Handler *request_connection,
                           XERCES_CPP_NAMESPACE::XercesDOMParser *parser);

  // Called by the protocol handler: the common attributes, then the
  // refusal of a select that names no table; 0 or -1.
  int parse_common_attributes() override;
};

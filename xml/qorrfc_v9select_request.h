// What the three select requests of the main port share: the common
// attributes, the answer to the request-parameters callback chosen by the
// subclass, and the end of the connection's service once the select has
// run (one connection serves one select).
#pragma once

#include "qorrfc_base_request.h"

class Qorrfc_V9select_Request : public Qorrfc_Base_Request {
 public:
  Qorrfc_V9select_Request(Qorrfc_Base_Handler *request_connection,
                          XERCES_CPP_NAMESPACE::XercesDOMParser *parser,
                          Callback_Handler parameters_handler);

  // Called by the protocol handler: the common attributes; 0 or -1.
  int parse_common_attributes() override;
  // Called after the logon: the dialog or batch call; 13 where the base
  // gives 0, so that the connection's service ends.
  int call_req_function() override;

 private:
  Callback_Handler select_handler_;
};

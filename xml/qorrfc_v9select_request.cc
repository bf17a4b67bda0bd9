#include "qorrfc_v9select_request.h"

Qorrfc_V9select_Request::Qorrfc_V9select_Request(
    Qorrfc_Base_Handler *request_connection, XERCES_CPP_NAMESPACE::XercesDOMParser *parser,
    Callback_Handler parameters_handler)
    : Qorrfc_Base_Request(request_connection, parser), select_handler_(parameters_handler) {}

int Qorrfc_V9select_Request::parse_common_attributes() {
  int result = Qorrfc_Base_Request::parse_common_attributes();
  if (result != 0) return result;
  parameters_handler_ = select_handler_;
  return 0;
}

int Qorrfc_V9select_Request::call_req_function() {
  int result = Qorrfc_Base_Request::call_req_function();
  return result == 0 ? RESULT_ENDED : result;
}

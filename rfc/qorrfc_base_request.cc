#include "qorrfc_base_request.h"

#include <ace/Log_Msg.h>

Qorrfc_Base_Request::Qorrfc_Base_Request(Qorrfc_Base_Handler *request_connection)
    : request_connection_(request_connection) {}

Qorrfc_Base_Request::~Qorrfc_Base_Request() {}

RFC_HANDLE Qorrfc_Base_Request::rfcaccept_function(const char *, const char *, const char *, char,
                                                   const char **errtext, RFC_HANDLE) {
  ACE_ERROR((LM_ERROR, "%D(%P|%t) Qorrfc_Base_Request::rfcaccept_function - no gateway "
                       "registration for this request\n"));
  if (errtext) *errtext = "Batch registration is not available for this request";
  return RFC_HANDLE_NULL;
}

int Qorrfc_Base_Request::dispatch_callback(RFC_HANDLE) {
  ACE_ERROR((LM_ERROR, "%D(%P|%t) Qorrfc_Base_Request::dispatch_callback - this request "
                       "serves no callbacks\n"));
  return RFC_FAILURE;
}

int Qorrfc_Base_Request::gwinfo(const char *&, const char *&, const char *&, char &) {
  return -1;
}

#include "qorrfc_v9nselect_request.h"

Qorrfc_V9nselect_Request::Qorrfc_V9nselect_Request(Qorrfc_Base_Handler *request_connection,
                                                   XERCES_CPP_NAMESPACE::XercesDOMParser *parser)
    : Qorrfc_V9select_Request(request_connection, parser,
                              &Qorrfc_Base_Request::handle_grp_nselect) {}

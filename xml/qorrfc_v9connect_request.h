// A connect element: the client's logon to R/3. Its attributes become the
// logon text (the password only ever in the text handed to the library),
// the logon runs, and while the dialog function module runs R/3 reports
// its system information, which reaches the client as one line. The
// request then stays its connection's current request, so that later
// requests naming this connection by chandle find the logon data and the
// system information here.
#pragma once

#include "qorrfc_base_request.h"

class Qorrfc_V9connect_Request : public Qorrfc_Base_Request {
 public:
  Qorrfc_V9connect_Request(Qorrfc_Base_Handler *request_connection,
                           XERCES_CPP_NAMESPACE::XercesDOMParser *parser);

  // Called by the protocol handler: builds the logon texts; 0, or -1 after
  // an error line for an empty xpasswd.
  int parse_common_attributes() override;
};

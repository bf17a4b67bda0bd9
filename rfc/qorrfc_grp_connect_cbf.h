// The answer to Z_QOR_GET_REQUEST_PARAMETERS for a connect request: it
// asks the dialog program for information only ("I") and names the report
// and variant that a background job of this logon would run.
#pragma once

#include <string>

#include "qorrfc_function.h"

class Qorrfc_Grp_Connect_Cbf : public Qorrfc_Function {
 public:
  Qorrfc_Grp_Connect_Cbf(const char *name, const char *report, const char *variant);

  RFC_RC receive(RFC_HANDLE handle) { return get_data(handle); }
  RFC_RC send(RFC_HANDLE handle) { return send_data(handle); }

 private:
  std::string report_;
  std::string variant_;
};

// The answer to Z_QOR_GET_REQUEST_PARAMETERS for a function request that
// lets the dialog program call the function module: what to return
// (metadata, data), where the rows go and which module to call.
#pragma once

#include <string>

#include "qorrfc_function.h"

class Qorrfc_Base_Request;

class Qorrfc_Grp_Function_Cbf : public Qorrfc_Function {
 public:
  // request must outlive the descriptor (it owns it).
  Qorrfc_Grp_Function_Cbf(const char *name, Qorrfc_Base_Request *request);

  RFC_RC receive(RFC_HANDLE handle) { return get_data(handle); }
  // Builds the reply from the request's current state and sends it.
  RFC_RC send(RFC_HANDLE handle);

  // The reply's FUNC_FLAG for the request's metadata and data flags.
  static char func_flag(char metadata, char data);

 private:
  Qorrfc_Base_Request *request_;
  char func_flag_[2] = " ";
  char debug_[2] = " ";
  std::string abapprog_, variant_, dest_, func_name_, dhandle_;
};

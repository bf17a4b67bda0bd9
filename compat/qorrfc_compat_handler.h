// A connection on the dialog-compatibility port: line commands, answered
// with lines that begin with ERROR on failure.
#pragma once

#include "qorrfc_base_handler.h"

class Qorrfc_Compat_Handler : public Qorrfc_Base_Handler {
 public:
  // Called by open once the worker runs: "HANDLE %s\n".
  int send_handle() override;
  // Called by the worker before closing for an oversized request.
  const char *request_too_large_text() const override;
};

#include "qorrfc_compat_handler.h"

int Qorrfc_Compat_Handler::send_handle() { return send_format("HANDLE %s\n", handle()); }

const char *Qorrfc_Compat_Handler::request_too_large_text() const {
  return "ERROR request too large\n";
}

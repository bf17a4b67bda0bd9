// Stand-ins for the RFC library calls the connection core makes, for a
// build whose RFC library does not provide them yet. They are weak and
// linked after the RFC library, so any real definition wins; each one
// fails the way the library reports a missing partner.
#include <cstring>

#include "saprfc.h"

extern "C" {

__attribute__((weak)) void RfcClose(RFC_HANDLE) {}

__attribute__((weak)) int RfcLastErrorEx(RFC_ERROR_INFO_EX *error_info) {
  if (error_info) {
    std::memset(error_info, 0, sizeof *error_info);
    error_info->group = RFC_ERROR_INTERNAL;
    std::strcpy(error_info->key, "RFC_ERROR_INTERNAL");
    std::strcpy(error_info->message, "RFC library call not available");
  }
  return 0;
}

__attribute__((weak)) RFC_RC RfcWaitForRequest(RFC_HANDLE, RFC_INT) { return RFC_FAILURE; }

__attribute__((weak)) unsigned ItFill(ITAB_H) { return 0; }
__attribute__((weak)) unsigned ItLeng(ITAB_H) { return 0; }
__attribute__((weak)) void *ItGetLine(ITAB_H, unsigned) { return nullptr; }
__attribute__((weak)) int ItFree(ITAB_H) { return 0; }
__attribute__((weak)) ITAB_H ItCreate(char *, unsigned, unsigned, unsigned) { return nullptr; }
__attribute__((weak)) void *ItAppLine(ITAB_H) { return nullptr; }
__attribute__((weak)) int ItDelete(ITAB_H) { return 0; }

}  // extern "C"

// Library start-up and version text.
#include <cstdio>
#include <cstring>

#include "saprfc.h"

extern "C" {

void SAP_API RfcInit(void) {}

RFC_RC SAP_API RfcGetAllLibVersions(char *buffer, int length) {
  if (buffer == nullptr || length <= 0) return RFC_INVALID_PARAMETER;
  int n = std::snprintf(buffer, static_cast<size_t>(length),
                        "\nqorrfc RFC library 1.0 (classic API, protocol version 1)\n");
  return n >= length ? RFC_MEMORY_INSUFFICIENT : RFC_OK;
}

}  // extern "C"

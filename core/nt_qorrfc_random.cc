#include <windows.h>
#include <bcrypt.h>

#include "qorrfc_random.h"

int qorrfc_random_bytes(unsigned char *out, std::size_t n) {
  return BCryptGenRandom(nullptr, out, static_cast<ULONG>(n), BCRYPT_USE_SYSTEM_PREFERRED_RNG) >= 0
             ? 0
             : -1;
}

#include "qorrfc_handle_name.h"

#include <sys/random.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {
int random_bytes(unsigned char *out, size_t n) {
  size_t got = 0;
  while (got < n) {
    ssize_t r = getrandom(out + got, n - got, 0);
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    got += static_cast<size_t>(r);
  }
  return 0;
}
}  // namespace

int Qorrfc_Handle_Name::compose(unsigned short serial, char (&handle)[MAX_LEN + 1],
                                char (&serial_text)[8]) {
  unsigned char bytes[RANDOM_BYTES];
  if (random_bytes(bytes, sizeof bytes) == -1) return -1;
  std::snprintf(serial_text, sizeof serial_text, "%04hu", serial);
  size_t len = std::strlen(serial_text);
  char *out = handle;
  std::memcpy(out, serial_text + len - 4, 4);
  out += 4;
  *out++ = '0';
  *out++ = 'x';
  static const char hex[] = "0123456789abcdef";
  for (unsigned char b : bytes) {
    *out++ = hex[b >> 4];
    *out++ = hex[b & 0x0f];
  }
  *out = '\0';
  return 0;
}

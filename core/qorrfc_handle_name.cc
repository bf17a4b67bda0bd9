#include "qorrfc_handle_name.h"

#include <cstdio>
#include <cstring>

#include "qorrfc_random.h"

int Qorrfc_Handle_Name::compose(unsigned short serial, char (&handle)[MAX_LEN + 1],
                                char (&serial_text)[8]) {
  unsigned char bytes[RANDOM_BYTES];
  if (qorrfc_random_bytes(bytes, sizeof bytes) == -1) return -1;
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

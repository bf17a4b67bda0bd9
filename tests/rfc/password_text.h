// The hexadecimal password text a client sends for a password: the
// offset k, then for every character the index of the decoding-table
// entry whose low byte is the character plus k.
#pragma once

#include <cstdio>
#include <string>

#include "qorrfcdc.h"

namespace qtest {

inline std::string password_text(const std::string &password, unsigned k = 0xa7) {
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02x", k & 0xff);
  std::string out = hex;
  for (unsigned char c : password)
    for (unsigned v = 0; v < 256; ++v)
      if ((qorrfc_decoding_table[v] & 0xff) == ((c + k) & 0xff)) {
        std::snprintf(hex, sizeof hex, "%02X", v);
        out += hex;
      }
  return out;
}

}  // namespace qtest

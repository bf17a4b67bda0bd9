#include "password_encoder.h"

#include <array>
#include <random>
#include <stdexcept>

#include "qorrfcdc.h"

namespace qorclient {

namespace {

// encoded[c] is the table index whose entry's low byte is c.
std::array<unsigned char, 256> inverse_table() {
  std::array<unsigned char, 256> inv{};
  for (unsigned v = 0; v < 256; ++v) inv[qorrfc_decoding_table[v] & 0xFF] = static_cast<unsigned char>(v);
  return inv;
}

void put_hex(std::string &out, unsigned byte) {
  static const char digits[] = "0123456789ABCDEF";
  out += digits[(byte >> 4) & 0xF];
  out += digits[byte & 0xF];
}

}  // namespace

std::string encode_password(const std::string &password, unsigned offset) {
  if (password.size() > QORRFC_PASSWORD_MAX)
    throw std::invalid_argument("a password has at most " + std::to_string(QORRFC_PASSWORD_MAX) +
                                " characters");
  if (password.find('\0') != std::string::npos)
    throw std::invalid_argument("a password cannot hold a zero byte");
  static const std::array<unsigned char, 256> inv = inverse_table();
  std::string out;
  put_hex(out, offset & 0xFF);
  for (unsigned char c : password) put_hex(out, inv[(c + offset) & 0xFF]);
  return out;
}

std::string encode_password(const std::string &password) {
  std::random_device rd;
  return encode_password(password, rd() & 0xFF);
}

}  // namespace qorclient

// Password decoding: clients send the logon password as hexadecimal text.
// The first byte (two hex digits) is an offset k; every following byte v
// stands for the character (table[v] - k) mod 256.
#pragma once

#include <cstddef>
#include <cstdint>

// Longest password a text may carry; decoding buffers hold one byte more.
const size_t QORRFC_PASSWORD_MAX = 99;

extern const uint32_t qorrfc_decoding_table[256];

// Decodes text into out (out_size bytes). Returns 0 with the password in
// out, or -1 with out empty when the text is missing, shorter than two
// characters, of odd length, not hexadecimal, or longer than
// QORRFC_PASSWORD_MAX characters would allow.
int qorrfc_decode_password(char *out, size_t out_size, const char *text);

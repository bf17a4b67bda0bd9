// The hexadecimal password text a client sends instead of the password
// (xpasswd): the inverse of the server's decoding table, built from that
// same table so the two can never disagree.
#pragma once

#include <string>

namespace qorclient {

// Encodes with the given offset (0..255): two hex digits of the offset,
// then two per character. Throws std::invalid_argument for a password the
// server cannot decode: longer than 99 characters or holding a zero byte.
std::string encode_password(const std::string &password, unsigned offset);
// The same with an offset drawn at random, so one password does not
// always give the same text.
std::string encode_password(const std::string &password);

}  // namespace qorclient

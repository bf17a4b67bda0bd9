// The client's password encoder against the server's decoder: every
// password the client can send must come back unchanged.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "password_encoder.h"
#include "qorrfcdc.h"

using qorclient::encode_password;

namespace {

std::string decode(const std::string &text) {
  char out[QORRFC_PASSWORD_MAX + 1];
  EXPECT_EQ(qorrfc_decode_password(out, sizeof out, text.c_str()), 0) << text;
  return out;
}

}  // namespace

TEST(PasswordEncoder, EveryByteValueRoundTripsAtEveryOffset) {
  for (unsigned offset = 0; offset < 256; offset += 51) {
    for (int c = 1; c < 256; ++c) {
      std::string password(1, static_cast<char>(c));
      std::string text = encode_password(password, offset);
      ASSERT_EQ(text.size(), 4u);
      ASSERT_EQ(decode(text), password) << "byte " << c << " offset " << offset;
    }
  }
}

TEST(PasswordEncoder, LongestPasswordsOfAllByteValuesRoundTrip) {
  // Bytes 1..255 spread over three passwords of at most 99 characters,
  // the longest holding exactly 99.
  for (int first = 1; first < 256; first += 99) {
    std::string password;
    for (int c = first; c < first + 99 && c < 256; ++c) password += static_cast<char>(c);
    std::string text = encode_password(password);
    EXPECT_EQ(text.size(), 2 + 2 * password.size());
    EXPECT_EQ(decode(text), password);
  }
  std::string ninety_nine(99, 'x');
  EXPECT_EQ(decode(encode_password(ninety_nine)), ninety_nine);
}

TEST(PasswordEncoder, TextIsTheOffsetThenTwoHexDigitsPerCharacter) {
  std::string text = encode_password("pw", 0xA7);
  EXPECT_EQ(text.substr(0, 2), "A7");
  EXPECT_EQ(text.find_first_not_of("0123456789ABCDEF"), std::string::npos) << text;
  // The same password under another offset gives another text.
  EXPECT_NE(encode_password("pw", 0x10).substr(2), text.substr(2));
  // An empty password is the offset alone, which decodes to nothing.
  EXPECT_EQ(encode_password("", 5), "05");
  EXPECT_EQ(decode("05"), "");
}

TEST(PasswordEncoder, RefusesWhatTheServerCannotDecode) {
  EXPECT_THROW(encode_password(std::string(100, 'x')), std::invalid_argument);
  EXPECT_THROW(encode_password(std::string("a\0b", 3)), std::invalid_argument);
}

// The password text through the request's decoder: whatever the text, the
// output is a terminated string of at most 99 characters, empty whenever
// the text is refused, and accepted texts are exactly the even-length hex
// texts of 2 to 200 characters.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "qorrfc_base_request.h"
#include "qorrfcdc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  text = text.c_str();  // the server sees a terminated text
  char out[QORRFC_PASSWORD_MAX + 1 + 16];
  std::memset(out, 'Z', sizeof out);
  int rc = Qorrfc_Base_Request::decode_password(out, text.c_str());
  size_t n = strnlen(out, QORRFC_PASSWORD_MAX + 1);
  if (n > QORRFC_PASSWORD_MAX) std::abort();
  if (out[QORRFC_PASSWORD_MAX + 1] != 'Z') std::abort();
  bool hex = !text.empty();
  for (unsigned char c : text) hex = hex && std::isxdigit(c);
  bool valid = hex && text.size() % 2 == 0 && text.size() <= 2 * (QORRFC_PASSWORD_MAX + 1);
  if ((rc == 0) != valid) std::abort();
  if (rc != 0 && n != 0) std::abort();
  return 0;
}

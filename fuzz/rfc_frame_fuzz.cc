// Input: one frame as it arrives from the network (8-byte header, body).
// The header is checked, the body decoded, and a decoded message applied
// to parameter and table lists, as RfcReceive and RfcGetData do.
#include <cstdint>
#include <cstring>
#include <string>

#include "rfc_lists.h"
#include "rfc_wire.h"
#include "sapitab.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < rfcw::kHeaderSize) return 0;
  rfcw::Header h;
  std::string why;
  if (!rfcw::parse_header(data, h, why)) return 0;
  size_t body = size - rfcw::kHeaderSize;
  if (h.body_size < body) body = h.body_size;
  // A copy of exactly the body's size, so reads past it are caught.
  std::string copy(reinterpret_cast<const char *>(data) + rfcw::kHeaderSize, body);
  rfcw::Message m;
  if (!rfcw::decode(h.kind, copy.data(), copy.size(), m, why)) return 0;

  char text[8];
  int number = 0;
  unsigned char raw[3];
  RFC_PARAMETER params[] = {{const_cast<char *>("A"), 1, RFCTYPE_CHAR, sizeof text, text},
                            {const_cast<char *>("B"), 1, RFCTYPE_INT, sizeof number, &number},
                            {const_cast<char *>("C"), 1, RFCTYPE_BYTE, sizeof raw, raw},
                            {nullptr, 0, 0, 0, nullptr}};
  ITAB_H given = ItCreate(const_cast<char *>("U"), 5, 0, 0);
  RFC_TABLE tables[] = {{const_cast<char *>("T"), 1, RFCTYPE_CHAR, 0, nullptr, RFC_ITMODE_BYREFERENCE, 0},
                        {const_cast<char *>("U"), 1, RFCTYPE_CHAR, 5, given, RFC_ITMODE_BYREFERENCE, 0},
                        {nullptr, 0, 0, 0, nullptr, RFC_ITMODE_BYREFERENCE, 0}};
  rfcl::apply_params(m, params);
  rfcl::Received received;
  rfcl::apply_tables(m, tables, &received);
  for (unsigned i = 1; i <= ItFill(tables[0].ithandle); ++i) ItGetLine(tables[0].ithandle, i);
  ItDelete(tables[0].ithandle);
  ItDelete(given);
  return 0;
}

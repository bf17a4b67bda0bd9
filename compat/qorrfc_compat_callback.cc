#include "qorrfc_compat_callback.h"

#include <ace/OS_NS_string.h>
#include "sapitab.h"

Qorrfc_Compat_Callback::Qorrfc_Compat_Callback()
    : p1_entry_("P1", p1_, P1_LENGTH),
      chunk_("Z_QOR_DTAB", RFCTYPE_BYTE, CHUNK_ROW, ITAB_NULL, RFC_ITMODE_BYREFERENCE, true) {
  ACE_OS::memset(p1_, ' ', sizeof p1_);
  with_p1_.add_importing(&p1_entry_);
  with_p1_.build_all();
  with_chunk_.add_importing(&p1_entry_);
  with_chunk_.add_table(&chunk_);
  with_chunk_.build_all();
}

size_t Qorrfc_Compat_Callback::p1_number() const {
  size_t n = 0, i = 0;
  while (i < P1_LENGTH && p1_[i] == ' ') ++i;
  for (; i < P1_LENGTH && p1_[i] >= '0' && p1_[i] <= '9'; ++i)
    n = n * 10 + static_cast<size_t>(p1_[i] - '0');
  return n;
}

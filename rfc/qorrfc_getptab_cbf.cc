#include "qorrfc_getptab_cbf.h"

#include <ace/OS_NS_string.h>

#include "qorrfc_text.h"
#include "sapitab.h"

Qorrfc_GetPtab_Cbf::Qorrfc_GetPtab_Cbf(const char *name) : Qorrfc_Function(name) {
  make_importing("Z_QOR_PARAMETER_TABNAME", tabname_, TABNAME_LEN);
  make_importing("DHANDLE", dhandle_, DHANDLE_LEN);
  make_table("Z_QOR_PARAMETER_TABLE", RFCTYPE_CHAR, 0);
  build_all();
}

RFC_RC Qorrfc_GetPtab_Cbf::receive(RFC_HANDLE handle) {
  RFC_RC rc = get_data(handle);
  qorrfc_terminate(tabname_, TABNAME_LEN);
  qorrfc_terminate(dhandle_, DHANDLE_LEN);
  qorrfc_cut_at_blank(tabname_);
  qorrfc_cut_at_blank(dhandle_);
  return rc;
}

int Qorrfc_GetPtab_Cbf::fill_from(ITAB_H source) {
  ITAB_H target = table_handle(0);
  if (target == ITAB_NULL || source == ITAB_NULL) return -1;
  // The caller's rows may be wider than the rows R/3 asked for: a plain
  // row copy would write past the reply row.
  size_t target_width = ItLeng(target), source_width = ItLeng(source);
  size_t n = source_width < target_width ? source_width : target_width;
  for (unsigned i = 1, rows = ItFill(source); i <= rows; ++i) {
    char *row = static_cast<char *>(ItAppLine(target));
    const void *from = ItGetLine(source, i);
    if (row == nullptr || from == nullptr) return -1;
    ACE_OS::memcpy(row, from, n);
  }
  return 0;
}

#include "qorrfc_mdata_cbf.h"

Qorrfc_Mdata_Cbf::Qorrfc_Mdata_Cbf(const char *name) : Qorrfc_Function(name) {
  make_table("MTAB", RFCTYPE_CHAR, LINE_LEN);
  build_all();
}

RFC_RC Qorrfc_Mdata_Cbf::receive(RFC_HANDLE handle) {
  RFC_RC rc = get_data(handle);
  mtab_.reset(new Qorrfc_Itab(table_handle(0)));
  return rc;
}

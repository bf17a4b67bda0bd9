#include "qorrfc_genprog_cbf.h"

#include "qorrfc_text.h"

Qorrfc_Genprog_Cbf::Qorrfc_Genprog_Cbf(const char *name) : Qorrfc_Function(name) {
  make_importing("RC", rc_, RC_LEN);
  make_importing("DHANDLE", dhandle_, DHANDLE_LEN);
  make_table("LTAB", RFCTYPE_CHAR, LINE_LEN);
  build_all();
}

RFC_RC Qorrfc_Genprog_Cbf::receive(RFC_HANDLE handle) {
  RFC_RC rc = get_data(handle);
  qorrfc_terminate(rc_, RC_LEN);
  qorrfc_terminate(dhandle_, DHANDLE_LEN);
  ltab_.reset(new Qorrfc_Itab(table_handle(0)));
  return rc;
}

#include "qorrfc_ssi_cbf.h"

#include "qorrfc_text.h"

Qorrfc_Ssi_Cbf::Qorrfc_Ssi_Cbf(const char *name) : Qorrfc_Function(name) {
  make_importing("SYSINFO", sysinfo_, SYSINFO_LEN);
  make_importing("BATDEST", batdest_, VALUE_LEN);
  make_importing("BATPRID", batprid_, VALUE_LEN);
  make_importing("BATGWH", batgwh_, VALUE_LEN);
  make_importing("BATGWS", batgws_, VALUE_LEN);
  make_importing("BATGWFL", batgwfl_, 1);
  make_importing("BATMESS", batmess_, VALUE_LEN);
  build_all();
}

RFC_RC Qorrfc_Ssi_Cbf::receive(RFC_HANDLE handle) {
  RFC_RC rc = get_data(handle);
  qorrfc_terminate(sysinfo_, SYSINFO_LEN);
  qorrfc_terminate(batgwfl_, 1);
  for (char *value : {batdest_, batprid_, batgwh_, batgws_, batmess_}) {
    qorrfc_terminate(value, VALUE_LEN);
  }
  for (char *value : {batprid_, batdest_, batgwh_, batgws_}) qorrfc_cut_at_blank(value);
  qorrfc_trim(batmess_);
  qorrfc_trim(sysinfo_);
  return rc;
}

#include "qorrfc_gwinfo_cbf.h"

#include "qorrfc_text.h"

Qorrfc_Gwinfo_Cbf::Qorrfc_Gwinfo_Cbf(const char *name) : Qorrfc_Function(name) {
  make_importing("JOBCOUNT", jobcount_, JOBCOUNT_LEN);
  make_importing("BATDEST", batdest_, VALUE_LEN);
  make_importing("BATPRID", batprid_, VALUE_LEN);
  make_importing("BATGWH", batgwh_, VALUE_LEN);
  make_importing("BATGWS", batgws_, VALUE_LEN);
  make_importing("BATGWFL", batgwfl_, 1);
  build_all();
}

RFC_RC Qorrfc_Gwinfo_Cbf::receive(RFC_HANDLE handle) {
  RFC_RC rc = get_data(handle);
  qorrfc_terminate(jobcount_, JOBCOUNT_LEN);
  qorrfc_terminate(batgwfl_, 1);
  for (char *value : {batdest_, batprid_, batgwh_, batgws_}) qorrfc_terminate(value, VALUE_LEN);
  for (char *value : {jobcount_, batdest_, batprid_, batgwh_, batgws_}) qorrfc_cut_at_blank(value);
  return rc;
}

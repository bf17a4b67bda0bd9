#include "qorrfc_jobno_cbf.h"

#include <ace/OS_NS_string.h>

#include "qorrfc_text.h"

Qorrfc_Jobno_Cbf::Qorrfc_Jobno_Cbf(const char *name) : Qorrfc_Function(name) {
  make_importing("Z_QOR_JOBNO", jobno_, JOBNO_LEN);
  build_all();
}

RFC_RC Qorrfc_Jobno_Cbf::receive(RFC_HANDLE handle) {
  RFC_RC rc = get_data(handle);
  qorrfc_terminate(jobno_, JOBNO_LEN);
  qorrfc_cut_at_blank(jobno_);
  return rc;
}

void Qorrfc_Jobno_Cbf::set_token(const char *token) {
  // A blank-padded field of its full width, as R/3 keeps character fields.
  ACE_OS::memset(token_, ' ', TOKEN_LEN);
  size_t n = token ? ACE_OS::strnlen(token, TOKEN_LEN) : 0;
  ACE_OS::memcpy(token_, token, n);
  clear_exporting();
  make_exporting("Z_QOR_TOKEN", token_, TOKEN_LEN);
  build_exporting();
}

#include "qorrfc_grp_sselect_cbf.h"

RFC_RC Qorrfc_Grp_Sselect_Cbf::send(RFC_HANDLE handle) {
  fill_select_parameters();
  add_kind_line("sselect");
  add_select_spec(root());
  return send_data(handle);
}

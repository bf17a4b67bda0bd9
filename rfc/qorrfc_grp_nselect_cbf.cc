#include "qorrfc_grp_nselect_cbf.h"

RFC_RC Qorrfc_Grp_Nselect_Cbf::send(RFC_HANDLE handle) {
  fill_select_parameters();
  add_kind_line("nselect");
  for (const XERCES_CPP_NAMESPACE::DOMElement *select : elements(root(), "sselect")) {
    reset_clauses();
    add_select_spec(select);
  }
  return send_data(handle);
}

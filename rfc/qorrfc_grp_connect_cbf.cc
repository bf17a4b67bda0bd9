#include "qorrfc_grp_connect_cbf.h"

Qorrfc_Grp_Connect_Cbf::Qorrfc_Grp_Connect_Cbf(const char *name, const char *report,
                                               const char *variant)
    : Qorrfc_Function(name), report_(report ? report : ""), variant_(variant ? variant : "") {
  make_exporting("FUNC_FLAG", "I", 1);
  make_exporting("ABAPPROG", report_.c_str(), static_cast<unsigned>(report_.size()));
  make_exporting("VARIANT", variant_.c_str(), static_cast<unsigned>(variant_.size()));
  build_all();
}

// The select reply of an nselect: several single-table selects, each
// written as its own spec after the one kind line.
#pragma once

#include "qorrfc_grp_base_select_cbf.h"

class Qorrfc_Grp_Nselect_Cbf : public Qorrfc_Grp_Base_Select_Cbf {
 public:
  using Qorrfc_Grp_Base_Select_Cbf::Qorrfc_Grp_Base_Select_Cbf;
  RFC_RC send(RFC_HANDLE handle) override;
};

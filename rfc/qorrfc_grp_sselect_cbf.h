// The select reply of an sselect: one select from one table.
#pragma once

#include "qorrfc_grp_base_select_cbf.h"

class Qorrfc_Grp_Sselect_Cbf : public Qorrfc_Grp_Base_Select_Cbf {
 public:
  using Qorrfc_Grp_Base_Select_Cbf::Qorrfc_Grp_Base_Select_Cbf;
  RFC_RC send(RFC_HANDLE handle) override;
};

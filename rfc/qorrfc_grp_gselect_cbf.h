// The select reply of a gselect: several tables joined, each table line
// followed by its own join conditions, then the clauses and fields of the
// whole select.
#pragma once

#include "qorrfc_grp_base_select_cbf.h"

class Qorrfc_Grp_Gselect_Cbf : public Qorrfc_Grp_Base_Select_Cbf {
 public:
  using Qorrfc_Grp_Base_Select_Cbf::Qorrfc_Grp_Base_Select_Cbf;
  RFC_RC send(RFC_HANDLE handle) override;
};

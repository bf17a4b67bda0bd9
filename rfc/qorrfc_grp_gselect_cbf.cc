#include "qorrfc_grp_gselect_cbf.h"

RFC_RC Qorrfc_Grp_Gselect_Cbf::send(RFC_HANDLE handle) {
  fill_select_parameters();
  add_kind_line("gselect");
  // Fields that name no table belong to the last table of the join.
  std::string default_table;
  for (const XERCES_CPP_NAMESPACE::DOMElement *table : elements(root(), "table")) {
    default_table = add_table_line(table);
    add_clause_group(ON, table);
  }
  add_select_clauses(root());
  add_field_list(root(), default_table);
  return send_data(handle);
}

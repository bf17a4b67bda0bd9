#include "qorrfc_grp_bcompat_cbf.h"

#include "qorrfc_base_handler.h"
#include "qorrfc_bcompat_source.h"
#include "sapitab.h"

namespace {
const Qorrfc_Bcompat_Source *source_of(Qorrfc_Base_Handler *data_connection) {
  Qorrfc_Base_Handler *owner = data_connection ? data_connection->request_handler() : nullptr;
  return dynamic_cast<const Qorrfc_Bcompat_Source *>(owner);
}

unsigned length_of(const std::string &text) { return static_cast<unsigned>(text.size()); }
}  // namespace

Qorrfc_Grp_Bcompat_Cbf::Qorrfc_Grp_Bcompat_Cbf(const char *name,
                                               Qorrfc_Base_Handler *data_connection)
    : Qorrfc_Function(name), data_connection_(data_connection), wtab_(ITAB_NULL, Qorrfc_Itab::DELETE_TABLE) {}

Qorrfc_Grp_Bcompat_Cbf::~Qorrfc_Grp_Bcompat_Cbf() {}

int Qorrfc_Grp_Bcompat_Cbf::add_wtab() {
  if (wtab_.create("Z_QOR_WTAB", LINE_LEN, 10) == -1) return -1;
  make_table("Z_QOR_WTAB", RFCTYPE_CHAR, LINE_LEN, wtab_.handle());
  build_all();
  return 0;
}

RFC_RC Qorrfc_Grp_Bcompat_Cbf::receive(RFC_HANDLE handle) {
  if (!wtab_added_) {
    wtab_added_ = true;
    add_wtab();
  }
  return get_data(handle);
}

int Qorrfc_Grp_Bcompat_Cbf::build_exporting_entries() {
  const Qorrfc_Bcompat_Source *source = source_of(data_connection_);
  if (source == nullptr) return -1;
  dhandle_ = data_connection_->handle();
  table_name_ = source->bcompat_table_name();
  record_length_ = source->bcompat_record_length();
  form_ = source->bcompat_form();
  clear_exporting();
  make_exporting("DHANDLE", dhandle_.c_str(), length_of(dhandle_));
  make_exporting("TABLE_NAME", table_name_.c_str(), length_of(table_name_));
  make_exporting("RECORD_LENGTH", record_length_.c_str(), length_of(record_length_));
  make_exporting("FORM", form_.c_str(), length_of(form_));
  build_exporting();
  return 0;
}

RFC_RC Qorrfc_Grp_Bcompat_Cbf::send(RFC_HANDLE handle) {
  const Qorrfc_Bcompat_Source *source = source_of(data_connection_);
  if (source != nullptr) {
    Qorrfc_Itab selection(source->bcompat_selection());
    for (unsigned i = 1; i <= selection.rows(); ++i)
      wtab_.append_line("%.*s", static_cast<int>(selection.row_length()), selection.row(i));
  }
  build_exporting_entries();
  return send_data(handle);
}

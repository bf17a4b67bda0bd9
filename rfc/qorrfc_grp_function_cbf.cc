#include "qorrfc_grp_function_cbf.h"

#include "qorrfc_base_request.h"
#include "qorrfc_ssi_cbf.h"

namespace {
unsigned length_of(const std::string &text) { return static_cast<unsigned>(text.size()); }
}  // namespace

Qorrfc_Grp_Function_Cbf::Qorrfc_Grp_Function_Cbf(const char *name, Qorrfc_Base_Request *request)
    : Qorrfc_Function(name), request_(request) {}

char Qorrfc_Grp_Function_Cbf::func_flag(char metadata, char data) {
  char flag = metadata == 'Y' ? 'M' : ' ';
  if (data == 'Y') flag = flag == 'M' ? 'B' : 'D';
  return flag;
}

RFC_RC Qorrfc_Grp_Function_Cbf::send(RFC_HANDLE handle) {
  clear_exporting();
  func_flag_[0] = func_flag(request_->metadata_flag(), request_->data_flag());
  abapprog_ = request_->get_abapprog();
  variant_ = request_->configured_variant();
  debug_[0] = request_->debug_flag();
  func_name_ = request_->root_attribute("name");
  dhandle_ = request_->data_connection_handle();
  make_exporting("FUNC_FLAG", func_flag_, 1);
  make_exporting("ABAPPROG", abapprog_.c_str(), length_of(abapprog_));
  make_exporting("VARIANT", variant_.c_str(), length_of(variant_));
  make_exporting("BLOCKSIZE", "00000000", 8);
  make_exporting("DEBUG", debug_, 1);
  if (request_->batch_flag() == 'Y') {
    const Qorrfc_Ssi_Cbf *ssi = request_->logon_ssi();
    dest_ = ssi ? ssi->batdest() : "";
    make_exporting("DEST", dest_.c_str(), length_of(dest_));
  }
  make_exporting("FUNC_NAME", func_name_.c_str(), length_of(func_name_));
  make_exporting("DHANDLE", dhandle_.c_str(), length_of(dhandle_));
  build_exporting();
  return send_data(handle);
}

// The select reply's interface and the values it exports.
#include "qorrfc_grp_base_select_cbf.h"

#include <ace/OS_NS_stdio.h>

#include "qorrfc_base_handler.h"
#include "qorrfc_base_request.h"
#include "qorrfc_grp_function_cbf.h"
#include "qorrfc_ssi_cbf.h"
#include "unix_qorrfc_service_options.h"
#include "sapitab.h"

namespace {
// Exporting entries by index, in the order they are created.
enum { FUNC_FLAG, ABAPPROG, REPORT_VARIANT, BLOCKSIZE, DEBUG, DEST, DHANDLE, DIALOG_FLAG };

void *text_of(std::string &text) { return &text[0]; }
int length_of(const std::string &text) { return static_cast<int>(text.size()); }
}  // namespace

Qorrfc_Grp_Base_Select_Cbf::Qorrfc_Grp_Base_Select_Cbf(const char *name,
                                                       Qorrfc_Base_Request *request)
    : Qorrfc_Function(name),
      request_(request),
      mdata_(ITAB_NULL, Qorrfc_Itab::DELETE_TABLE),
      jdata_(ITAB_NULL, Qorrfc_Itab::DELETE_TABLE) {
  dialog_flag_[0] = qorrfc_options()->unlimited_dialog();
}

Qorrfc_Grp_Base_Select_Cbf::~Qorrfc_Grp_Base_Select_Cbf() {}

void Qorrfc_Grp_Base_Select_Cbf::create_entries() {
  mdata_.create("MDATA", LINE_LEN, 16);
  jdata_.create("JDATA", LINE_LEN, 16);
  make_table("MDATA", RFCTYPE_CHAR, LINE_LEN, mdata_.handle());
  make_table("JDATA", RFCTYPE_CHAR, LINE_LEN, jdata_.handle());
  make_exporting("FUNC_FLAG", func_flag_, 1);
  make_exporting("ABAPPROG", "", 0);
  make_exporting("VARIANT", "", 0);
  make_exporting("BLOCKSIZE", blocksize_, BLOCKSIZE_LEN);
  make_exporting("DEBUG", debug_, 1);
  make_exporting("DEST", "", 0);
  make_exporting("DHANDLE", "", 0);
  make_exporting("DIALOG_FLAG", dialog_flag_, 1);
  build_all();
}

RFC_RC Qorrfc_Grp_Base_Select_Cbf::receive(RFC_HANDLE handle) {
  if (!entries_created_) {
    entries_created_ = true;
    create_entries();
  }
  return get_data(handle);
}

std::string Qorrfc_Grp_Base_Select_Cbf::blocksize(int bufmax, int min_bufsize) {
  long size = bufmax > min_bufsize ? bufmax : min_bufsize;
  // Nine digits would be cut to their first eight: a tenth of the size.
  if (size > 99999999) size = 99999999;
  if (size < 0) size = 0;
  char text[BLOCKSIZE_LEN + 8];
  ACE_OS::snprintf(text, sizeof text, "%.8ld", size);
  return text;
}

Qorrfc_Base_Request *Qorrfc_Grp_Base_Select_Cbf::fill_select_parameters() {
  Qorrfc_Base_Handler *connection = request_->request_connection();
  served_ = connection && connection->current_request() ? connection->current_request() : request_;
  // R/3 may have sent rows of its own in these tables; the reply is ours.
  mdata_.clear();
  jdata_.clear();
  dhandle_ = served_->get_grp_dh();
  func_flag_[0] =
      Qorrfc_Grp_Function_Cbf::func_flag(served_->metadata_flag(), served_->data_flag());
  abapprog_ = served_->get_abapprog();
  variant_ = Qorrfc_Base_Request::configured_variant();
  std::string size = blocksize(served_->bufmax(), qorrfc_options()->min_bufsize());
  ACE_OS::memcpy(blocksize_, size.data(), BLOCKSIZE_LEN);
  debug_[0] = served_->debug_flag();
  const Qorrfc_Ssi_Cbf *ssi = served_->logon_ssi();
  dest_ = served_->batch_flag() == 'Y' && ssi ? ssi->batdest() : "";
  set_exporting_value(ABAPPROG, text_of(abapprog_), length_of(abapprog_));
  set_exporting_value(REPORT_VARIANT, text_of(variant_), length_of(variant_));
  set_exporting_value(DEST, text_of(dest_), length_of(dest_));
  set_exporting_value(DHANDLE, text_of(dhandle_), length_of(dhandle_));
  return served_;
}

const XERCES_CPP_NAMESPACE::DOMElement *Qorrfc_Grp_Base_Select_Cbf::root() const {
  return served_ ? served_->root() : request_->root();
}

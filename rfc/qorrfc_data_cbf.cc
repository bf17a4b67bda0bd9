#include "qorrfc_data_cbf.h"

#include <ace/OS_NS_string.h>

#include "qorrfc_text.h"

Qorrfc_Data_Cbf::Qorrfc_Data_Cbf(const char *name) : Qorrfc_Function(name) {
  make_importing("DHANDLE", dhandle_, DHANDLE_LEN);
  make_importing("EMSG", emsg_, EMSG_LEN);
  make_importing("END_OF_DATA", end_of_data_, 1);
  make_importing("TABLE_NAME", table_name_, TABLE_NAME_LEN);
  dtab_index_ = table_count();
  make_table("DTAB", RFCTYPE_BYTE, 0);
  mtab_index_ = table_count();
  make_table("MTAB", RFCTYPE_CHAR, 0);
  build_all();
}

Qorrfc_Data_Cbf::~Qorrfc_Data_Cbf() {}

RFC_RC Qorrfc_Data_Cbf::receive(RFC_HANDLE handle) {
  end_of_data_[0] = ' ';
  ACE_OS::memset(emsg_, 0, sizeof emsg_);
  ACE_OS::memset(table_name_, 0, sizeof table_name_);
  RFC_RC rc = get_data(handle);
  qorrfc_terminate(dhandle_, DHANDLE_LEN);
  qorrfc_terminate(emsg_, EMSG_LEN);
  qorrfc_terminate(end_of_data_, 1);
  qorrfc_terminate(table_name_, TABLE_NAME_LEN);
  dtab_.reset(new Qorrfc_Itab(table_handle(dtab_index_)));
  mtab_.reset(new Qorrfc_Itab(table_handle(mtab_index_)));
  return rc;
}

RFC_RC Qorrfc_Data_Cbf::send(RFC_HANDLE handle) {
  RFC_RC rc = send_data(handle);
  dtab_.reset();
  mtab_.reset();
  return rc;
}

// The answer to Z_QOR_GET_EXTRACTION_PARAMS: the extraction a client of
// the batch-compatibility port asked for, sent to the background job that
// serves it. Its data connection is the one the job's calls arrive on.
#pragma once

#include <string>

#include "qorrfc_function.h"
#include "qorrfc_itab.h"

class Qorrfc_Base_Handler;

class Qorrfc_Grp_Bcompat_Cbf : public Qorrfc_Function {
 public:
  enum { LINE_LEN = 72 };

  // data_connection must outlive the descriptor.
  Qorrfc_Grp_Bcompat_Cbf(const char *name, Qorrfc_Base_Handler *data_connection);
  ~Qorrfc_Grp_Bcompat_Cbf() override;

  // Called for the incoming call.
  virtual RFC_RC receive(RFC_HANDLE handle);
  // Called to answer it with the request connection's extraction.
  virtual RFC_RC send(RFC_HANDLE handle);
  // Called by the first receive: the selection-line table.
  virtual int add_wtab();
  // Called by send: the exporting values.
  virtual int build_exporting_entries();

 private:
  Qorrfc_Base_Handler *data_connection_;
  Qorrfc_Itab wtab_;
  bool wtab_added_ = false;
  std::string dhandle_, table_name_, record_length_, form_;
};

// Z_QOR_DATA_CHUNK: one chunk of extracted rows (DTAB, raw bytes), field
// descriptions (MTAB), and the state of the extraction. The received
// tables stay readable through the wrappers until the chunk is answered.
#pragma once

#include <memory>

#include "qorrfc_function.h"
#include "qorrfc_itab.h"

class Qorrfc_Data_Cbf : public Qorrfc_Function {
 public:
  enum { DHANDLE_LEN = 131, EMSG_LEN = 200, TABLE_NAME_LEN = 30 };

  explicit Qorrfc_Data_Cbf(const char *name);
  ~Qorrfc_Data_Cbf() override;

  // Called for every incoming chunk.
  virtual RFC_RC receive(RFC_HANDLE handle);
  // Called to answer the chunk; the table wrappers go with it.
  virtual RFC_RC send(RFC_HANDLE handle);

  char end_of_data() const { return end_of_data_[0]; }
  const char *emsg() const { return emsg_; }
  const char *table_name() const { return table_name_; }
  const char *dhandle() const { return dhandle_; }
  Qorrfc_Itab *dtab() const { return dtab_.get(); }
  Qorrfc_Itab *mtab() const { return mtab_.get(); }

 private:
  char dhandle_[DHANDLE_LEN + 1] = " ";
  char emsg_[EMSG_LEN + 1] = "";
  char end_of_data_[2] = " ";
  char table_name_[TABLE_NAME_LEN + 1] = "";
  int dtab_index_, mtab_index_;
  std::unique_ptr<Qorrfc_Itab> dtab_, mtab_;
};

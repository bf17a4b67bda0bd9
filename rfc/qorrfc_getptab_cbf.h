// The parameter-table callback of a function request: R/3 asks for the
// rows of one of the tables the client passed, by table name.
#pragma once

#include "qorrfc_function.h"

class Qorrfc_GetPtab_Cbf : public Qorrfc_Function {
 public:
  enum { TABNAME_LEN = 40, DHANDLE_LEN = 130 };

  explicit Qorrfc_GetPtab_Cbf(const char *name);
  // Called for the incoming call; answered with send_data.
  virtual RFC_RC receive(RFC_HANDLE handle);
  // Called before the answer: appends every row of source to the reply
  // table (rows are cut or zero-filled to the reply table's width).
  int fill_from(ITAB_H source);

  const char *tabname() const { return tabname_; }
  const char *dhandle() const { return dhandle_; }

 private:
  char tabname_[TABNAME_LEN + 1] = "";
  char dhandle_[DHANDLE_LEN + 1] = "";
};

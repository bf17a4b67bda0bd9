// Z_QOR_GENPROG: the lines of a program that R/3 generated (LTAB), with
// its return code, for the client to see.
#pragma once

#include <memory>

#include "qorrfc_function.h"
#include "qorrfc_itab.h"

class Qorrfc_Genprog_Cbf : public Qorrfc_Function {
 public:
  enum { RC_LEN = 8, DHANDLE_LEN = 130, LINE_LEN = 255 };

  explicit Qorrfc_Genprog_Cbf(const char *name);
  // Called for every incoming call; answered with send_data.
  virtual RFC_RC receive(RFC_HANDLE handle);

  const char *rc() const { return rc_; }
  const char *dhandle() const { return dhandle_; }
  Qorrfc_Itab *ltab() const { return ltab_.get(); }

 private:
  char rc_[RC_LEN + 1] = "";
  char dhandle_[DHANDLE_LEN + 1] = "";
  std::unique_ptr<Qorrfc_Itab> ltab_;
};

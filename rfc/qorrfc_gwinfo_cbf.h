// Z_QOR_JOB_NUMBER: R/3 started a background job for a dialog request and
// names the job and the gateway it will call back through.
#pragma once

#include "qorrfc_function.h"

class Qorrfc_Gwinfo_Cbf : public Qorrfc_Function {
 public:
  enum { JOBCOUNT_LEN = 8, VALUE_LEN = 256 };

  explicit Qorrfc_Gwinfo_Cbf(const char *name);
  // Called for the incoming call; answered with send_data.
  virtual RFC_RC receive(RFC_HANDLE handle);

  const char *jobcount() const { return jobcount_; }
  const char *batdest() const { return batdest_; }
  const char *batprid() const { return batprid_; }
  const char *batgwh() const { return batgwh_; }
  const char *batgws() const { return batgws_; }
  char batgwfl() const { return batgwfl_[0]; }

 private:
  char jobcount_[JOBCOUNT_LEN + 1] = "";
  char batdest_[VALUE_LEN + 1] = "";
  char batprid_[VALUE_LEN + 1] = "";
  char batgwh_[VALUE_LEN + 1] = "";
  char batgws_[VALUE_LEN + 1] = "";
  char batgwfl_[2] = "";
};

// Z_QOR_SEND_SYSTEM_INFO: R/3's description of itself and the gateway
// values a background job of this logon would use. Kept by the connect
// request; later requests of the logon read the batch values from it.
#pragma once

#include "qorrfc_function.h"

class Qorrfc_Ssi_Cbf : public Qorrfc_Function {
 public:
  enum { SYSINFO_LEN = 200, VALUE_LEN = 250 };

  explicit Qorrfc_Ssi_Cbf(const char *name);
  // Called for the incoming call; answered with send_data.
  virtual RFC_RC receive(RFC_HANDLE handle);

  const char *sysinfo() const { return sysinfo_; }
  const char *batdest() const { return batdest_; }
  const char *batprid() const { return batprid_; }
  const char *batgwh() const { return batgwh_; }
  const char *batgws() const { return batgws_; }
  char batgwfl() const { return batgwfl_[0]; }
  const char *batmess() const { return batmess_; }

 private:
  char sysinfo_[SYSINFO_LEN + 1] = "";
  char batdest_[VALUE_LEN + 1] = "";
  char batprid_[VALUE_LEN + 1] = "";
  char batgwh_[VALUE_LEN + 1] = "";
  char batgws_[VALUE_LEN + 1] = "";
  char batgwfl_[2] = "";
  char batmess_[VALUE_LEN + 1] = "";
};

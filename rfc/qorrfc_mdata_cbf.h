// Z_QOR_MDATA: field descriptions (MTAB, 512-character lines) that R/3
// sends on their own, for the client to read as text lines.
#pragma once

#include <memory>

#include "qorrfc_function.h"
#include "qorrfc_itab.h"

class Qorrfc_Mdata_Cbf : public Qorrfc_Function {
 public:
  enum { LINE_LEN = 512 };

  explicit Qorrfc_Mdata_Cbf(const char *name);
  // Called for every incoming call; answered with send_data.
  virtual RFC_RC receive(RFC_HANDLE handle);

  Qorrfc_Itab *mtab() const { return mtab_.get(); }

 private:
  std::unique_ptr<Qorrfc_Itab> mtab_;
};

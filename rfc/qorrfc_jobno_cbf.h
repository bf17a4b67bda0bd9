// Z_QOR_GET_TOKEN: a background job asks which client connection it
// works for; the answer (the token) is that connection's handle.
#pragma once

#include "qorrfc_function.h"

class Qorrfc_Jobno_Cbf : public Qorrfc_Function {
 public:
  enum { JOBNO_LEN = 8, TOKEN_LEN = 100 };

  explicit Qorrfc_Jobno_Cbf(const char *name);
  // Called for the incoming call; answered with send_data.
  virtual RFC_RC receive(RFC_HANDLE handle);
  // Called before the answer: the token it carries.
  void set_token(const char *token);

  const char *jobno() const { return jobno_; }

 private:
  char jobno_[JOBNO_LEN + 1] = "";
  char token_[TOKEN_LEN + 1] = "";
};

// The callbacks R/3 makes into a running dialog extraction: CALLER_P and
// CALLER_C carry the parameter P1, CALLER_D carries P1 (the number of data
// bytes) and the chunk table Z_QOR_DTAB of 256-byte rows. One object
// serves every callback of one extraction; the chunk table it receives is
// replaced by the next chunk.
#pragma once

#include "qorrfc_function.h"
#include "qorrfc_parameter.h"
#include "qorrfc_table.h"

class Qorrfc_Compat_Callback {
 public:
  enum { P1_LENGTH = 8, CHUNK_ROW = 256 };

  Qorrfc_Compat_Callback();
  Qorrfc_Compat_Callback(const Qorrfc_Compat_Callback &) = delete;
  Qorrfc_Compat_Callback &operator=(const Qorrfc_Compat_Callback &) = delete;

  // RfcGetData of the pending callback: P1 only, P1 and the chunk, or
  // nothing. Each returns the library's code.
  RFC_RC get_p1(RFC_HANDLE handle) { return with_p1_.get_data(handle); }
  RFC_RC get_chunk(RFC_HANDLE handle) { return with_chunk_.get_data(handle); }
  RFC_RC get_nothing(RFC_HANDLE handle) { return bare_.get_data(handle); }
  // The answer without parameters.
  RFC_RC answer(RFC_HANDLE handle) { return bare_.send_data(handle); }

  // P1 read as a decimal number (0 when it holds none).
  size_t p1_number() const;
  ITAB_H chunk() const { return chunk_.handle(); }

 private:
  char p1_[P1_LENGTH];
  Qorrfc_Parameter p1_entry_;
  Qorrfc_Table chunk_;
  Qorrfc_Function with_p1_{"DUMMY"};
  Qorrfc_Function with_chunk_{"DUMMY"};
  Qorrfc_Function bare_{"DUMMY"};
};

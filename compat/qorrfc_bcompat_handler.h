// A connection on the batch-compatibility port; it shares the commands,
// the greeting and the reply lines of the dialog-compatibility protocol.
#pragma once

#include "qorrfc_compat_handler.h"

class Qorrfc_Bcompat_Handler : public Qorrfc_Compat_Handler {
 public:
  Qorrfc_Bcompat_Handler() : Qorrfc_Compat_Handler("Z_QOR_BATCH_V8COMPAT") {}
};

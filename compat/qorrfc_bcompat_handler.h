// A connection on the batch-compatibility port; it shares the greeting and
// the error lines of the dialog-compatibility protocol.
#pragma once

#include "qorrfc_compat_handler.h"

class Qorrfc_Bcompat_Handler : public Qorrfc_Compat_Handler {};

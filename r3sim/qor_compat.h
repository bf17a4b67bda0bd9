// The QOR transport's module for clients of the dialog compatibility
// protocol (<ns>Z_QOR_READ_TABLE_V8COMPAT).
#pragma once

#include "call.h"

namespace r3sim {

// Reads the table that Z_QOR_PTAB names, rows selected by the lines of
// Z_QOR_WTAB, each row cut or blank-padded to RECORD_LENGTH bytes, and
// hands the record stream to the caller in CALLER_D callbacks; messages go
// back in Z_QOR_LTAB.
void compat_read_table(Call &call);

}  // namespace r3sim

// qorcli compat: one extraction through the dialog-compatibility port.
#pragma once

#include "qorcli_command_line.h"

namespace qorclient {

// Logs on, extracts and releases the logon connection again. Data records
// go to standard output, one a line; the server's ERROR lines and message
// records to standard error. Returns qorcli's exit status.
int compat_command(const QorcliCommandLine &cl);

}  // namespace qorclient

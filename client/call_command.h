// qorcli call: logs on through the server, calls one function module with
// the parameters and tables given, and prints what it gives back.
#pragma once

#include "qorcli_command_line.h"

namespace qorclient {

int call_command(const QorcliCommandLine &cl);

}  // namespace qorclient

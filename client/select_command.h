// qorcli select: logs on through the server, runs one select and writes
// its rows as CSV, JSON lines or raw records.
#pragma once

#include "qorcli_command_line.h"

namespace qorclient {

int select_command(const QorcliCommandLine &cl);

}  // namespace qorclient

// The callbacks of the select flow besides the data chunks: the record's
// metadata (Z_QOR_MDATA), the generated SQL for debugging (Z_QOR_GENPROG),
// and a callback of a name the server does not know (a fault on request).
// Each writes its call-log row; a failed callback throws
// std::runtime_error, which ends the module in a runtime error.
#pragma once

#include <string>
#include <vector>

#include "call.h"

namespace r3sim {

// MTAB of 512-character lines, one per output field.
void send_metadata(Call &call, const std::vector<std::string> &lines);
// LTAB of 255-character lines: each statement starts a line and goes on
// over as many lines as it needs.
void send_program(Call &call, const std::string &dhandle, const std::vector<std::string> &sql);
// Calls back a function of the given name with no parameters.
void call_unknown(Call &call, const std::string &name);

}  // namespace r3sim

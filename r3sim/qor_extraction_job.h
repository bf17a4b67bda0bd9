// The QOR extraction report (<ns>Z_QOR_READ) as a background job. The
// dialog module schedules it when the server asks for batch mode; the job
// reaches the program registered under the variant's destination through
// the gateway and calls Z_QOR_BATCH_CALLBACK1 with the buffer size. Inside
// that call the server calls the dialog module back on the job's
// conversation, and the module runs the select there, without the dialog
// row limit.
#pragma once

#include <string>

#include "call.h"

namespace r3sim {

// Checks report and variant as the connect flow does and schedules the
// job; returns once it runs. Throws std::runtime_error (a runtime error of
// the calling module) when batch mode cannot work or the job cannot start.
void schedule_extraction(Call &call, const std::string &report, const std::string &variant);

}  // namespace r3sim

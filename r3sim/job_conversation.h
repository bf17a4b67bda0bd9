// A background job's call of its registered program, with the program's
// calls back into R/3 served while the job waits for the answer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "call.h"
#include "job.h"

namespace r3sim {

class Simulator;

// The first line of the RFC library's last error (its message may go on
// with detail lines no job log needs).
std::string first_line_of_last_error();

// Calls function of the job's registered program and serves whatever the
// program calls back meanwhile on a background session of the logon that
// scheduled the job: serve takes a call or returns false to leave it to
// the simulator. Throws JobFailed when the call fails or raises.
void call_serving(Simulator &sim, const RFCP_LOGON &logon, int64_t session_number, Job &job,
                  const char *function, RFC_PARAMETER *exporting,
                  const std::function<bool(Call &)> &serve = nullptr);

}  // namespace r3sim

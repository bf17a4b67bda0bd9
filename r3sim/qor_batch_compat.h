// The QOR transport's module for clients of the batch compatibility
// protocol (<ns>Z_QOR_BATCH_V8COMPAT). Called without Z_QOR_JOBNAME it
// tells the server the system and where the extraction job will call it
// (program id, gateway, destination as job name); called with it, it
// starts that job. The job fetches its extraction through the gateway
// (Z_QOR_GET_EXTRACTION_PARAMS), then calls Z_QOR_BATCH_CALLBACK2, inside
// which the server calls this module back with PBUFMAX; that nested call
// delivers the records in Z_QOR_DATA_CHUNK callbacks.
#pragma once

#include <string>

#include "call.h"
#include "job.h"

namespace r3sim {

// The module; ns is the namespace it is registered under (its default
// report is <ns>Z_QOR_READ).
void compat_batch(Call &call, const std::string &ns);

// The job's body; module is the name the job answers nested calls of.
void run_compat_batch_job(Simulator &sim, const RFCP_LOGON &logon, int64_t session_number,
                          const std::string &module, Job &job);

}  // namespace r3sim

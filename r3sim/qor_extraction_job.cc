#include "qor_extraction_job.h"

#include <cctype>
#include <cstdlib>
#include <stdexcept>

#include "batch_destination.h"
#include "job_conversation.h"
#include "simulator.h"
#include "system_config.h"

namespace r3sim {

namespace {

const char kCallback[] = "Z_QOR_BATCH_CALLBACK1";
// The block size the job asks the server to select with, unless
// ZSIM_CONFIG BATCH_BUFMAX says otherwise.
const char kDefaultBufmax[] = "1048576";

std::string upper(std::string s) {
  for (auto &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The job's one call of the registered program. Its callbacks (the server
// calling the dialog module back) are served on the job's own session,
// which carries the logon that scheduled the job.
void run_extraction(Simulator &sim, const RFCP_LOGON &logon, int64_t session_number, Job &job) {
  RFC_INT bufmax = static_cast<RFC_INT>(
      std::strtol(SystemConfig::get(job.db(), "BATCH_BUFMAX", kDefaultBufmax).c_str(), nullptr, 10));
  job.log("Calling " + std::string(kCallback) + " of program " + job.spec().progid +
          " with buffer size " + std::to_string(bufmax));
  ParamList exporting;
  exporting.add("BUFMAX", &bufmax, sizeof bufmax, RFCTYPE_INT);
  call_serving(sim, logon, session_number, job, kCallback, exporting.get());
  job.log("Extraction delivered");
}

}  // namespace

void schedule_extraction(Call &call, const std::string &report, const std::string &variant) {
  BatchDestination d = BatchDestination::of_variant(call, report, variant);
  if (!d.message.empty()) throw std::runtime_error(d.message);
  JobSpec spec;
  spec.report = upper(report);
  spec.variant = upper(variant);
  spec.jobname = spec.report;
  spec.progid = d.progid;
  spec.user = call.session().logon.user;
  Simulator *sim = &call.sim();
  RFCP_LOGON logon = call.session().logon;
  int64_t number = call.session().number;
  std::string error;
  std::string count = sim->jobs().start(
      spec, [sim, logon, number](Job &job) { run_extraction(*sim, logon, number, job); }, &error);
  if (count.empty()) throw std::runtime_error(error);
}

}  // namespace r3sim

// Starting reports as background jobs from outside (ZSIM_SUBMIT_JOB), and
// the simulator's test report ZSIM_ECHO, whose job talks to a registered
// program: the shape every report that calls out through the gateway has.
#include <cctype>
#include <cstring>
#include <string>

#include "module_registry.h"
#include "simulator.h"

namespace r3sim {

namespace {

std::string upper(std::string s) {
  for (auto &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Imports REPORT, VARIANT, JOBNAME, WAIT ('X': return once the job ended);
// exports JOBCOUNT and JOBSTATUS. The variant's RFC destination names the
// program id that the job calls.
void zsim_submit_job(Call &call) {
  char report[40], variant[14], jobname[32], wait[1] = {' '};
  std::memset(report, ' ', sizeof report);
  std::memset(variant, ' ', sizeof variant);
  std::memset(jobname, ' ', sizeof jobname);
  ParamList in;
  in.add("REPORT", report, sizeof report)
      .add("VARIANT", variant, sizeof variant)
      .add("JOBNAME", jobname, sizeof jobname)
      .add("WAIT", wait, 1);
  if (call.get(in) != RFC_OK) return;
  JobSpec spec;
  spec.report = upper(trimmed(report, sizeof report));
  spec.variant = upper(trimmed(variant, sizeof variant));
  spec.jobname = trimmed(jobname, sizeof jobname);
  if (spec.jobname.empty()) spec.jobname = spec.report;
  spec.user = call.session().logon.user;
  const JobBody *body = call.sim().registry().report(spec.report);
  if (!body) return (void)call.raise("REPORT_NOT_FOUND");
  Stmt v = call.db().prepare(
      "SELECT IFNULL(D.PROGID, '') FROM VARID V LEFT JOIN RFCDES D ON D.RFCDEST = V.RFCDEST "
      "WHERE V.REPORT = ? AND V.VARIANT = ?");
  v.bind(1, spec.report).bind(2, spec.variant);
  if (!v.step()) return (void)call.raise("VARIANT_NOT_FOUND");
  spec.progid = v.text(0);
  std::string error;
  std::string count = call.sim().jobs().start(spec, *body, &error);
  if (count.empty()) return (void)call.raise("JOB_START_FAILED");
  char status = wait[0] == 'X' ? call.sim().jobs().wait(count) : 'R';
  char jobcount[8];
  put_text(jobcount, sizeof jobcount, count);
  ParamList out;
  out.add("JOBCOUNT", jobcount, sizeof jobcount).add("JOBSTATUS", &status, 1);
  call.send(out);
}

// Calls STFC_CONNECTION on the registered program three times and logs the
// answers; every call goes to the same registration.
void zsim_echo(Job &job) {
  for (int i = 1; i <= 3; ++i) {
    char requ[255], echo[255], resp[255];
    put_text(requ, sizeof requ, "Job " + job.count() + " call " + std::to_string(i));
    std::memset(echo, ' ', sizeof echo);
    std::memset(resp, ' ', sizeof resp);
    ParamList exporting, importing;
    exporting.add("REQUTEXT", requ, sizeof requ);
    importing.add("ECHOTEXT", echo, sizeof echo).add("RESPTEXT", resp, sizeof resp);
    std::string exception;
    if (job.call("STFC_CONNECTION", exporting.get(), importing.get(), nullptr, &exception) ==
        RFC_EXCEPTION)
      throw JobFailed("STFC_CONNECTION raised " + exception);
    job.log("Reply " + std::to_string(i) + ": " + trimmed(echo, sizeof echo));
  }
}

}  // namespace

void add_job_modules(ModuleRegistry &registry) {
  registry.add_module("ZSIM_SUBMIT_JOB", zsim_submit_job);
  registry.add_report("ZSIM_ECHO", zsim_echo);
}

}  // namespace r3sim

#include "qor_batch_compat.h"

#include <cctype>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "batch_destination.h"
#include "call_log.h"
#include "fault_table.h"
#include "simulator.h"
#include "system_config.h"
#include "system_info.h"

namespace r3sim {

namespace {

constexpr unsigned kValue = 256;

std::string upper(std::string s) {
  for (auto &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// An importing parameter the server may leave out: the buffer starts as
// zero bytes, which a value sent never leaves there.
struct Optional {
  const char *name;
  std::vector<char> buf;
  bool sent() const { return buf[0] != '\0'; }
  std::string text() const { return sent() ? trimmed(buf.data(), buf.size()) : ""; }
};

// CCONNECT: the system, and where the job would call back.
void report_destination(Call &call, BatchDestination d, int64_t row) {
  std::string message = d.message;
  if (auto f = FaultTable::take(call.db(), call.function(), "MESSAGE")) message = f->arg;
  if (auto f = FaultTable::take(call.db(), call.function(), "GWHOST")) d.gwhost = f->arg;
  char sysinfo[200], biw[1], progid[kValue], dest[kValue], gwh[kValue], gws[kValue], mess[kValue],
      gwfl[1];
  put_text(sysinfo, sizeof sysinfo, rfcsi_export(call));
  biw[0] = SystemConfig::get(call.db(), "BIW_ACTIVE", "N") == "Y" ? 'Y' : 'N';
  put_text(progid, sizeof progid, d.progid);
  put_text(dest, sizeof dest, d.dest);
  put_text(gwh, sizeof gwh, d.gwhost);
  put_text(gws, sizeof gws, d.gwserv);
  put_text(mess, sizeof mess, message);
  gwfl[0] = d.gwflag;
  ParamList exporting;
  exporting.add("Z_QOR_SYSINFO", sysinfo, sizeof sysinfo)
      .add("Z_QOR_BIW_ACTIVE", biw, 1)
      .add("Z_QOR_PROGID", progid, sizeof progid)
      .add("Z_QOR_DEST", dest, sizeof dest)
      .add("Z_QOR_GWH", gwh, sizeof gwh)
      .add("Z_QOR_GWS", gws, sizeof gws)
      .add("Z_QOR_MESSAGE", mess, sizeof mess)
      .add("Z_QOR_GWFL", gwfl, 1);
  CallLog::set_result(call.db(), row, message.empty() ? "OK" : "MESSAGE " + message);
  call.send(exporting);
}

// DCONNECT: the job. A destination that cannot take it is a runtime
// error; a job that cannot start, the exception JOB_NOT_STARTED.
void start_job(Call &call, const BatchDestination &d, const std::string &report,
               const std::string &variant, const std::string &jobname, int64_t row) {
  if (!d.message.empty()) {
    CallLog::set_result(call.db(), row, "runtime error " + d.message);
    throw std::runtime_error(d.message);
  }
  JobSpec spec;
  spec.jobname = jobname.empty() ? upper(report) : jobname;
  spec.report = upper(report);
  spec.variant = upper(variant);
  spec.progid = d.progid;
  spec.user = call.session().logon.user;
  Simulator *sim = &call.sim();
  RFCP_LOGON logon = call.session().logon;
  int64_t number = call.session().number;
  std::string module = call.function(), error;
  std::string count = sim->jobs().start(
      spec,
      [sim, logon, number, module](Job &job) {
        run_compat_batch_job(*sim, logon, number, module, job);
      },
      &error);
  if (count.empty()) {
    CallLog::set_result(call.db(), row, "JOB_NOT_STARTED " + error);
    call.raise("JOB_NOT_STARTED");
    return;
  }
  CallLog::set_result(call.db(), row, "job " + count + " started");
  ParamList none;
  call.send(none);
}

}  // namespace

void compat_batch(Call &call, const std::string &ns) {
  std::vector<Optional> in = {{"Z_QOR_REPORT", std::vector<char>(100)},
                              {"Z_QOR_VARIANT", std::vector<char>(40)},
                              {"Z_QOR_JOBNAME", std::vector<char>(kValue)},
                              {"Z_QOR_TGTSYSTEM", std::vector<char>(1)}};
  ParamList importing;
  for (auto &p : in) importing.add(p.name, p.buf.data(), static_cast<unsigned>(p.buf.size()));
  if (call.get(importing) != RFC_OK) return;
  NamedValues received;
  for (const auto &p : in)
    if (p.sent()) received.emplace_back(p.name, p.sent() && p.text().empty() ? " " : p.text());
  int64_t row = CallLog::record(call.db(), call.session().number, "CALL", call.function(),
                                received, "CALLED");
  std::string report = in[0].sent() ? in[0].text() : ns + "Z_QOR_READ";
  BatchDestination d = BatchDestination::of_variant(call, report, in[1].text());
  if (in[2].sent())
    start_job(call, d, report, in[1].text(), in[2].text(), row);
  else
    report_destination(call, d, row);
}

}  // namespace r3sim

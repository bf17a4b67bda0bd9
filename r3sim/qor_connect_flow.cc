// The connect flow of the dialog module: what the server learns at logon.
// The system information goes back in a callback, with the batch values of
// the server's report variant, or with BATMESS saying why batch mode will
// not work for it.
#include <stdexcept>

#include "batch_destination.h"
#include "fault_table.h"
#include "qor_dialog.h"
#include "system_info.h"

namespace r3sim {

namespace {

const char kCallback[] = "Z_QOR_SEND_SYSTEM_INFO";

}  // namespace

void connect_flow(Call &call, const RequestParameters &params) {
  BatchDestination d = BatchDestination::of_variant(call, params.abapprog, params.variant);
  if (auto f = FaultTable::take(call.db(), call.function(), "BATMESS")) d.message = f->arg;
  std::string sysinfo = rfcsi_export(call);
  char sysinfo_buf[200], dest[250], progid[250], gwhost[250], gwserv[250], gwflag[1], mess[250];
  put_text(sysinfo_buf, sizeof sysinfo_buf, sysinfo);
  put_text(dest, sizeof dest, d.dest);
  put_text(progid, sizeof progid, d.progid);
  put_text(gwhost, sizeof gwhost, d.gwhost);
  put_text(gwserv, sizeof gwserv, d.gwserv);
  gwflag[0] = d.gwflag;
  put_text(mess, sizeof mess, d.message);
  ParamList exporting, none;
  exporting.add("SYSINFO", sysinfo_buf, sizeof sysinfo_buf)
      .add("BATDEST", dest, sizeof dest)
      .add("BATPRID", progid, sizeof progid)
      .add("BATGWH", gwhost, sizeof gwhost)
      .add("BATGWS", gwserv, sizeof gwserv)
      .add("BATGWFL", gwflag, sizeof gwflag)
      .add("BATMESS", mess, sizeof mess);
  NamedValues sent = {{"BATDEST", d.dest},   {"BATPRID", d.progid},
                      {"BATGWH", d.gwhost},  {"BATGWS", d.gwserv},
                      {"BATGWFL", std::string(1, d.gwflag)}, {"BATMESS", d.message}};
  // Written before the call: the server reports to its client while it
  // serves the callback, and a test that reads that report must find the row.
  int64_t row = CallLog::record(call.db(), call.session().number, "CALLBACK", kCallback, sent,
                                "CALLED");
  std::string exception;
  RFC_RC rc = call.call_back(kCallback, exporting, none, nullptr, &exception);
  if (rc != RFC_OK) {
    CallLog::set_result(call.db(), row, "code " + std::to_string(rc) + " " + exception);
    throw std::runtime_error(std::string("Callback ") + kCallback + " failed");
  }
}

}  // namespace r3sim

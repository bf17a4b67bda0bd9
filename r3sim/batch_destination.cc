#include "batch_destination.h"

#include <cctype>

#include "simulator.h"

namespace r3sim {

namespace {

std::string upper(std::string s) {
  for (auto &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

BatchDestination impossible(const std::string &why) {
  BatchDestination d;
  d.message = why + ": batch mode is not available";
  return d;
}

bool report_exists(Call &call, const std::string &report) {
  if (call.sim().registry().report(report)) return true;
  Stmt s = call.db().prepare("SELECT 1 FROM VARID WHERE REPORT = ? LIMIT 1");
  s.bind(1, report);
  return s.step();
}

}  // namespace

BatchDestination BatchDestination::of_variant(Call &call, const std::string &report_name,
                                              const std::string &variant_name) {
  std::string report = upper(report_name), variant = upper(variant_name);
  if (report.empty()) return impossible("No extraction report was named");
  if (!report_exists(call, report)) return impossible("Report " + report + " does not exist");
  if (variant.empty()) return impossible("The RFC server has no variant");
  Stmt v = call.db().prepare("SELECT IFNULL(RFCDEST, '') FROM VARID WHERE REPORT = ? AND VARIANT = ?");
  v.bind(1, report).bind(2, variant);
  if (!v.step())
    return impossible("Variant " + variant + " of report " + report + " does not exist");
  std::string dest = v.text(0);
  if (dest.empty()) return impossible("Variant " + variant + " names no RFC destination");
  return of_destination(call, dest);
}

BatchDestination BatchDestination::of_destination(Call &call, const std::string &dest) {
  Stmt r = call.db().prepare(
      "SELECT IFNULL(PROGID, ''), IFNULL(GWHOST, ''), IFNULL(GWSERV, '') FROM RFCDES "
      "WHERE RFCDEST = ?");
  r.bind(1, dest);
  if (!r.step()) return impossible("RFC destination " + dest + " does not exist");
  BatchDestination d;
  d.dest = dest;
  d.progid = r.text(0);
  if (d.progid.empty()) return impossible("RFC destination " + dest + " names no program id");
  d.gwhost = r.text(1);
  d.gwserv = r.text(2);
  if (d.gwhost.empty()) {
    d.gwhost = call.sim().options().host;
  } else {
    d.gwflag = 'X';
  }
  if (d.gwserv.empty()) d.gwserv = std::to_string(call.sim().port());
  return d;
}

}  // namespace r3sim

#include "qor_dialog.h"

#include <cstring>
#include <stdexcept>

#include "qor_extraction_job.h"

namespace r3sim {

namespace {

const char *flow_name(RequestParameters::Flow kind) {
  switch (kind) {
    case RequestParameters::Flow::kConnect: return "connect";
    case RequestParameters::Flow::kSelect: return "select";
    case RequestParameters::Flow::kFunction: return "function";
  }
  return "unknown";
}

}  // namespace

void QorDialog::run(Call &call) const {
  char pdest[32], preport[100], pvariant[40], pbufmax[1];
  std::memset(pdest, ' ', sizeof pdest);
  std::memset(preport, ' ', sizeof preport);
  std::memset(pvariant, ' ', sizeof pvariant);
  pbufmax[0] = ' ';
  ParamList in;
  in.add("PDEST", pdest, sizeof pdest)
      .add("PREPORT", preport, sizeof preport)
      .add("PVARIANT", pvariant, sizeof pvariant)
      .add("PBUFMAX", pbufmax, sizeof pbufmax);
  if (call.get(in) != RFC_OK) throw std::runtime_error("Cannot read the parameters of the call");
  std::string dest = trimmed(pdest, sizeof pdest), report = trimmed(preport, sizeof preport);
  NamedValues received{{"PDEST", dest}};
  if (!report.empty()) {
    received.emplace_back("PREPORT", report);
    received.emplace_back("PVARIANT", trimmed(pvariant, sizeof pvariant));
    received.emplace_back("PBUFMAX", std::string(pbufmax, 1));
  }
  CallLog::record(call.db(), call.session().number, "CALL", call.function(), received, "");

  // A named report asks for an extraction job instead of a dialog flow.
  if (!report.empty())
    return schedule_extraction(call, report, trimmed(pvariant, sizeof pvariant));
  if (dest != "BACK") throw std::runtime_error("RFC destination " + dest + " does not exist");
  RequestParameters params = RequestParameters::fetch(call);
  auto flow = flows_.find(params.flow());
  if (flow == flows_.end())
    throw std::runtime_error(std::string("The ") + flow_name(params.flow()) +
                             " flow is not available in this system");
  flow->second(call, params);
}

}  // namespace r3sim

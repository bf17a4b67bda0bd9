// The QOR transport's dialog function module (<ns>Z_QOR_DIALOG). The
// server calls it with PDEST "BACK"; the module calls the server back for
// its request parameters, and their answer picks the flow that runs next
// (connect, select, function). Each flow is added at start-up; a request
// whose flow is not there ends in a runtime error naming it.
#pragma once

#include <functional>
#include <map>

#include "call.h"
#include "request_parameters.h"

namespace r3sim {

using DialogFlow = std::function<void(Call &, const RequestParameters &)>;

class QorDialog {
 public:
  void add_flow(RequestParameters::Flow kind, DialogFlow flow) { flows_[kind] = std::move(flow); }
  // Serves one call of the module.
  void run(Call &call) const;

 private:
  std::map<RequestParameters::Flow, DialogFlow> flows_;
};

// The connect flow: checks the extraction report and variant the server
// named and sends the system information with the variant's batch values.
void connect_flow(Call &call, const RequestParameters &params);

// The select flow: runs the select the server described and sends its
// metadata and rows back in callbacks, as the request's FUNC_FLAG asks.
void select_flow(Call &call, const RequestParameters &params);

}  // namespace r3sim

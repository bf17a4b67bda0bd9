// What the server answers when a QOR transport module calls it back for
// its request parameters (Z_QOR_GET_REQUEST_PARAMETERS). The answer decides
// what the dialog module does: FUNC_FLAG "I" asks for the connect flow, a
// FUNC_NAME for a function module, anything else describes a select.
#pragma once

#include <string>
#include <vector>

#include "call.h"
#include "call_log.h"

namespace r3sim {

struct RequestParameters {
  enum class Flow { kConnect, kSelect, kFunction };

  std::string func_flag;
  std::string abapprog;
  std::string variant;
  std::string blocksize;
  std::string debug;
  std::string dest;
  std::string dhandle;
  std::string dialog_flag;
  std::string func_name;
  std::vector<std::string> jdata;  // the select spec, 72-character lines
  std::vector<std::string> mdata;  // the field list, 72-character lines

  Flow flow() const;
  // The values received, blank ones left out (FUNC_FLAG always there).
  NamedValues values() const;

  // Calls the server back for them while `call` is pending and records
  // the answer in the call log. Throws std::runtime_error when the
  // callback fails, which ends the call with a runtime error.
  static RequestParameters fetch(Call &call);
};

}  // namespace r3sim

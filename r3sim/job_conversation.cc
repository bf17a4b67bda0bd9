#include "job_conversation.h"

#include "call_lists.h"
#include "simulator.h"

namespace r3sim {

std::string first_line_of_last_error() {
  RFC_ERROR_INFO_EX err{};
  RfcLastErrorEx(&err);
  std::string text = err.message;
  return text.substr(0, text.find('\n'));
}

void call_serving(Simulator &sim, const RFCP_LOGON &logon, int64_t session_number, Job &job,
                  const char *function, RFC_PARAMETER *exporting,
                  const std::function<bool(Call &)> &serve) {
  RFC_HANDLE partner = job.partner();
  if (RfcCall(partner, const_cast<char *>(function), exporting, nullptr) != RFC_OK)
    throw JobFailed(std::string("Call of ") + function + " failed: " + first_line_of_last_error());
  Session session{sim, logon, SqliteDb(sim.options().db, false), session_number};
  session.background = true;
  ParamList none;
  char *exception = nullptr;
  RFC_RC rc;
  while ((rc = RfcReceive(partner, none.get(), nullptr, &exception)) == RFC_CALL) {
    RFC_FUNCTIONNAME name{};
    if (RfcGetName(partner, name) != RFC_OK) break;
    Call call(session, partner, name);
    if (!serve || !serve(call)) sim.dispatch(call);
  }
  if (rc == RFC_EXCEPTION)
    throw JobFailed(std::string(function) + " raised " + (exception ? exception : ""));
  if (rc != RFC_OK)
    throw JobFailed(std::string(function) + " of program " + job.spec().progid +
                    " failed: " + first_line_of_last_error());
}

}  // namespace r3sim

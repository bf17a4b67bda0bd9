// One incoming call of a function module, with what its module needs: the
// session it came on (logon data, database), the simulator, and the ways
// to answer it. A module answers at most once; the dispatcher answers a
// call the module left alone with an empty reply.
#pragma once

#include <cstdint>
#include <string>

#include "call_lists.h"
#include "rfc_partner.h"
#include "saprfc.h"
#include "sqlite_db.h"

namespace r3sim {

class Simulator;

struct Session {
  Simulator &sim;
  RFCP_LOGON logon;
  SqliteDb db;
  int64_t number = 0;  // SEQNO of the logon's row in the call log
  // A background job's conversation: no dialog work process, so the
  // dialog row limit does not apply.
  bool background = false;
};

class Call {
 public:
  Call(Session &session, RFC_HANDLE handle, std::string function)
      : session_(session), handle_(handle), function_(std::move(function)) {}

  Session &session() { return session_; }
  Simulator &sim() { return session_.sim; }
  SqliteDb &db() { return session_.db; }
  RFC_HANDLE handle() const { return handle_; }
  const std::string &function() const { return function_; }
  bool answered() const { return answered_; }

  // Reads the call's parameters and tables into the lists.
  RFC_RC get(ParamList &importing, TableList *tables = nullptr);
  RFC_RC send(ParamList &exporting, TableList *tables = nullptr);
  RFC_RC raise(const std::string &exception, TableList *tables = nullptr);
  // Calls the caller back while this call is pending (a remote function
  // call to the destination BACK) and waits for its answer. The exception
  // name is filled when the caller raised one.
  RFC_RC call_back(const char *function, ParamList &exporting, ParamList &importing,
                   TableList *tables = nullptr, std::string *exception = nullptr);
  // Ends the call with an ABAP runtime error; the session breaks.
  RFC_RC system_failure(const std::string &key, const std::string &message);
  // Drops the connection as a crashed work process would.
  void drop();

 private:
  Session &session_;
  RFC_HANDLE handle_;
  std::string function_;
  bool answered_ = false;
};

}  // namespace r3sim

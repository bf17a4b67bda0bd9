// Faults on request: rows of ZSIM_FAULTS make a module or report misbehave.
// The table is read at every call, so a row inserted or deleted while the
// simulator runs takes effect at the next call. TIMES counts down and the
// row disappears at 0; an empty TIMES fires for ever.
//
// Kinds every module gets from the dispatcher:
//   EXCEPTION       ARG = exception name raised instead of running
//   SYSTEM_FAILURE  ARG = message of the system failure (session breaks)
//   DROP            the connection is dropped before an answer
//   DELAY           NTH = milliseconds to wait before running
// Kinds for background jobs (FUNCNAME = report):
//   JOB_START       ARG = reason; the job is not started
// Modules add kinds of their own and look them up with take().
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "sqlite_db.h"

namespace r3sim {

struct Fault {
  std::string kind;
  std::string arg;
  int64_t nth = 0;
};

class FaultTable {
 public:
  // The first fault of this kind for the function (or '*'), counted as
  // fired; nothing when none is set.
  static std::optional<Fault> take(SqliteDb &db, const std::string &function,
                                   const std::string &kind);
};

}  // namespace r3sim

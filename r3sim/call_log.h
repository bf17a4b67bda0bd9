// What the simulator received, one row per logon and per call or callback
// of the QOR transport, in ZSIM_CALLS, so tests can see what the server
// handed over without reading the simulator's memory. Rows are written by
// whichever session or job thread served the call.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sqlite_db.h"

namespace r3sim {

using NamedValues = std::vector<std::pair<std::string, std::string>>;

class CallLog {
 public:
  // Creates ZSIM_CALLS (and its dictionary entry) in a database that lacks it.
  static void ensure(SqliteDb &db);
  // Appends one row; returns its SEQNO. session is the SEQNO of the
  // session's logon row (0 when there is none yet).
  static int64_t record(SqliteDb &db, int64_t session, const std::string &kind,
                        const std::string &function, const NamedValues &values,
                        const std::string &result);
  // Replaces the RESULT of a row written before its outcome was known.
  static void set_result(SqliteDb &db, int64_t seqno, const std::string &result);
  // The values as DETAIL holds them: NAME=value lines joined by '\n'.
  static std::string detail(const NamedValues &values);
};

}  // namespace r3sim

// Checks a logon against the clients (T000) and users (USR02) of the
// database, and words a refusal as the system would: group, key and a
// message of several lines (the reason, where it happened, the detail).
#pragma once

#include <string>

#include "rfc_partner.h"
#include "sqlite_db.h"

namespace r3sim {

class LogonCheck {
 public:
  // 0 when the logon is accepted; otherwise the error record is filled.
  // location names the application server for the message.
  static int check(SqliteDb &db, const RFCP_LOGON &logon, const std::string &location,
                   RFC_ERROR_INFO_EX *error);
};

}  // namespace r3sim

#include "logon_check.h"

#include <cctype>
#include <cstdio>

namespace r3sim {

namespace {

int refuse(RFC_ERROR_INFO_EX *error, const std::string &reason, const std::string &location,
           const std::string &detail) {
  error->group = RFC_ERROR_LOGON_FAILURE;
  std::snprintf(error->key, sizeof error->key, "RFC_ERROR_LOGON_FAILURE");
  std::snprintf(error->message, sizeof error->message, "%s\nLOCATION    %s\nERROR       %s",
                reason.c_str(), location.c_str(), detail.c_str());
  return 1;
}

std::string upper(const char *s) {
  std::string u = s;
  for (auto &c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

}  // namespace

int LogonCheck::check(SqliteDb &db, const RFCP_LOGON &logon, const std::string &location,
                      RFC_ERROR_INFO_EX *error) {
  std::string client = logon.client, user = upper(logon.user);
  Stmt c = db.prepare("SELECT 1 FROM T000 WHERE MANDT = ?");
  c.bind(1, client);
  if (!c.step())
    return refuse(error, "Client " + client + " is not available in this system", location,
                  "logon in client " + client + " refused: no such client");
  Stmt u = db.prepare("SELECT PASSWORD, IFNULL(UFLAG, 0) FROM USR02 WHERE MANDT = ? AND BNAME = ?");
  u.bind(1, client).bind(2, user);
  // An unknown user gets the same answer as a wrong password, so a caller
  // cannot probe for user names.
  if (!u.step() || u.text(0) != logon.password)
    return refuse(error, "Name or password is incorrect (repeat logon)", location,
                  "logon of user " + user + " in client " + client + " refused");
  if (u.integer(1) != 0)
    return refuse(error, "User is locked. Please notify the person responsible", location,
                  "user " + user + " in client " + client + " is locked");
  return 0;
}

}  // namespace r3sim

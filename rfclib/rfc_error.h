// Error records in the classic form (group, key, multi-line message) and
// the calling thread's last error.
#pragma once

#include <string>

#include "saprfc.h"

namespace rfcl {

struct Error {
  RFC_ERROR_GROUP group = RFC_ERROR_INTERNAL;
  std::string key;
  std::string message;  // lines joined by '\n'
};

// The classic key of a group, e.g. "RFC_ERROR_LOGON_FAILURE".
const char *group_key(RFC_ERROR_GROUP group);

Error make_error(RFC_ERROR_GROUP group, std::string message);
// "partner not reached": the title says what was tried ("Connect to SAP
// gateway failed"), params lists the connect parameters after Connect_PM.
Error not_reached(const std::string &title, const std::string &params, const std::string &host,
                  int port, const std::string &reason);
// The connection broke or the partner sent something unusable.
Error broken(const std::string &peer, const std::string &reason);
Error protocol(const std::string &peer, const std::string &reason);
Error program(std::string message);

// Copies into a record, cutting key and message to their fields.
void fill(RFC_ERROR_INFO_EX *out, const Error &e);
Error from_record(const RFC_ERROR_INFO_EX &rec);

// Records e as the calling thread's last error (and into out when given).
void set_last(const Error &e, RFC_ERROR_INFO_EX *out = nullptr);

}  // namespace rfcl

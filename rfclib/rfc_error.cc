#include "rfc_error.h"

#include <algorithm>
#include <cstring>

namespace rfcl {

namespace {
struct LastError {
  bool set = false;
  Error error;
};
thread_local LastError last_error;

void copy_cut(char *dst, size_t size, const std::string &src) {
  size_t n = std::min(src.size(), size - 1);
  std::memcpy(dst, src.data(), n);
  dst[n] = '\0';
}
}  // namespace

const char *group_key(RFC_ERROR_GROUP group) {
  switch (group) {
    case RFC_ERROR_PROGRAM: return "RFC_ERROR_PROGRAM";
    case RFC_ERROR_COMMUNICATION: return "RFC_ERROR_COMMUNICATION";
    case RFC_ERROR_LOGON_FAILURE: return "RFC_ERROR_LOGON_FAILURE";
    case RFC_ERROR_SYSTEM_FAILURE: return "RFC_ERROR_SYSTEM_FAILURE";
    case RFC_ERROR_APPLICATION_EXCEPTION: return "RFC_ERROR_APPLICATION_EXCEPTION";
    case RFC_ERROR_RESOURCE: return "RFC_ERROR_RESOURCE";
    case RFC_ERROR_PROTOCOL: return "RFC_ERROR_PROTOCOL";
    case RFC_ERROR_INTERNAL: return "RFC_ERROR_INTERNAL";
    case RFC_ERROR_CANCELLED: return "RFC_ERROR_CANCELLED";
    case RFC_ERROR_BUSY: return "RFC_ERROR_BUSY";
  }
  return "RFC_ERROR_INTERNAL";
}

Error make_error(RFC_ERROR_GROUP group, std::string message) {
  return Error{group, group_key(group), std::move(message)};
}

Error not_reached(const std::string &title, const std::string &params, const std::string &host,
                  int port, const std::string &reason) {
  std::string m = title + "\n";
  m += "Connect_PM  " + params + "\n";
  m += "LOCATION    CPIC (TCP/IP) on local host\n";
  // An unknown host name says so; every other cause reads "not reached".
  if (reason.compare(0, 6, "host '") == 0)
    m += "ERROR       " + reason;
  else
    m += "ERROR       partner '" + host + ":" + std::to_string(port) + "' not reached";
  return make_error(RFC_ERROR_COMMUNICATION, m);
}

Error broken(const std::string &peer, const std::string &reason) {
  return make_error(RFC_ERROR_COMMUNICATION,
                    "Connection to partner broken\nLOCATION    CPIC (TCP/IP) on local host\n"
                    "ERROR       connection to partner '" + peer + "' broken\nDETAIL      " + reason);
}

Error protocol(const std::string &peer, const std::string &reason) {
  return make_error(RFC_ERROR_PROTOCOL,
                    "Invalid data received from partner\nLOCATION    RFC protocol on local host\n"
                    "ERROR       partner '" + peer + "': " + reason);
}

Error program(std::string message) { return make_error(RFC_ERROR_PROGRAM, std::move(message)); }

void fill(RFC_ERROR_INFO_EX *out, const Error &e) {
  if (out == nullptr) return;
  out->group = e.group;
  copy_cut(out->key, sizeof out->key, e.key);
  copy_cut(out->message, sizeof out->message, e.message);
}

Error from_record(const RFC_ERROR_INFO_EX &rec) {
  return Error{rec.group, std::string(rec.key, strnlen(rec.key, sizeof rec.key)),
               std::string(rec.message, strnlen(rec.message, sizeof rec.message))};
}

void set_last(const Error &e, RFC_ERROR_INFO_EX *out) {
  last_error.set = true;
  last_error.error = e;
  fill(out, e);
}

}  // namespace rfcl

extern "C" int SAP_API RfcLastErrorEx(RFC_ERROR_INFO_EX *error_info) {
  if (!rfcl::last_error.set) {
    if (error_info) std::memset(error_info, 0, sizeof *error_info);
    return 1;
  }
  rfcl::fill(error_info, rfcl::last_error.error);
  return 0;
}

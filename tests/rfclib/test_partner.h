// An application server and gateway hosted in the test process, built from
// the library's partner side, with function modules given as lambdas.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "rfc_partner.h"
#include "saprfc.h"

namespace rfctest {

class TestPartner {
 public:
  // Serves the pending call on the session's handle; must answer it or not.
  using Module = std::function<void(RFC_HANDLE)>;
  using LogonCheck = std::function<int(const RFCP_LOGON &, RFC_ERROR_INFO_EX &)>;

  TestPartner();
  ~TestPartner();

  void add(const std::string &name, Module m);
  void set_logon_check(LogonCheck check);
  // Refuses registrations of this program id with a group 102 error.
  void refuse_registrations_of(const std::string &progid);
  int port() const { return port_; }
  RFCP_SERVER *server() { return server_; }
  // "ashost=127.0.0.1 sysnr=00 gwserv=PORT client=001 user=TEST passwd=secret lang=E" + extra
  std::string connect_string(const std::string &extra = "") const;
  // Serves the pending call with the module of its name.
  void dispatch(RFC_HANDLE h);
  // Calls the other side and serves its callbacks until the call ends.
  RFC_RC call_serving(RFC_HANDLE h, const char *function, RFC_PARAMETER *exporting,
                      RFC_PARAMETER *importing, RFC_TABLE *tables);
  // What the last session saw when it ended: RfcWaitForRequest's code.
  RFC_RC last_session_end();

 private:
  static int check_logon(void *ctx, const RFCP_LOGON *logon, RFC_ERROR_INFO_EX *error);
  static void session(void *ctx, RFC_HANDLE h, const RFCP_LOGON *logon);
  static int check_registration(void *ctx, const char *progid, const char *host,
                                RFC_ERROR_INFO_EX *error);
  std::string refused_;

  RFCP_SERVER *server_ = nullptr;
  int port_ = 0;
  std::mutex mutex_;
  std::map<std::string, Module> modules_;
  LogonCheck check_;
  RFC_RC last_end_ = RFC_OK;
};

// Parameter and table lists built from values kept alive by the builder.
RFC_PARAMETER param(const char *name, void *addr, unsigned leng, unsigned type = RFCTYPE_CHAR);
RFC_TABLE table(const char *name, ITAB_H itab, unsigned leng, unsigned type = RFCTYPE_CHAR);
extern const RFC_PARAMETER kEndParam;
extern const RFC_TABLE kEndTable;

// A table of rows given as texts, each padded with blanks to leng.
ITAB_H make_table(unsigned leng, std::initializer_list<std::string> rows);
std::string row(ITAB_H t, unsigned i);
std::string trimmed(const char *buf, size_t n);

}  // namespace rfctest

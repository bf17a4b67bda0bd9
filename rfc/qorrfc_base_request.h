// One client request that needs R/3. Only what a data connection's
// gateway loop asks of the request it serves is here so far; every
// operation fails clearly until the request engine provides it.
#pragma once

#include "saprfc.h"

class Qorrfc_Base_Handler;

class Qorrfc_Base_Request {
 public:
  explicit Qorrfc_Base_Request(Qorrfc_Base_Handler *request_connection = nullptr);
  virtual ~Qorrfc_Base_Request();
  Qorrfc_Base_Request(const Qorrfc_Base_Request &) = delete;
  Qorrfc_Base_Request &operator=(const Qorrfc_Base_Request &) = delete;

  // Registers this server at the gateway (close_handle 0; gives the
  // registered handle or 0) or ends that registration (close_handle given).
  // errtext is set on every path.
  virtual RFC_HANDLE rfcaccept_function(const char *prog_id, const char *gw_host,
                                        const char *gw_serv, char host_flag,
                                        const char **errtext, RFC_HANDLE close_handle);
  // Serves the call waiting on handle; 0 or a code.
  virtual int dispatch_callback(RFC_HANDLE handle);
  // The gateway values of the job-number callback; -1 when there are none.
  virtual int gwinfo(const char *&prog_id, const char *&gw_host, const char *&gw_serv,
                     char &host_flag);

  // 'N' before any data, 'X' once the last chunk has arrived.
  char eod_flag() const { return eod_flag_; }
  Qorrfc_Base_Handler *request_connection() const { return request_connection_; }

 protected:
  Qorrfc_Base_Handler *request_connection_;
  char eod_flag_ = 'N';
};

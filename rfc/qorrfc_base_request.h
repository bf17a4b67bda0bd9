// One client request that needs R/3. The base holds what every request
// shares: the connections taking part (the one the request came on, the
// logon connection named by chandle, the data connection named by
// dhandle), the common attributes, the request's own R/3 logon, the call
// of the dialog function module (dialog or batch), the service of R/3's
// callbacks while that call runs, and the way results and errors reach the
// client. Subclasses choose how the request-parameters callback is
// answered and override a few steps.
//
// Threads: a request runs on its request connection's worker; in batch
// mode its callbacks run on the data connection's worker while the request
// thread waits on its semaphore, so one thread at a time uses the object.
#pragma once

#include <ace/ARGV.h>
#include <xercesc/util/XercesDefs.hpp>

#include <memory>
#include <string>

#include "qorrfc_handler_ref.h"
#include "saprfc.h"

XERCES_CPP_NAMESPACE_BEGIN
class XercesDOMParser;
class DOMDocument;
class DOMElement;
XERCES_CPP_NAMESPACE_END

class ACE_Message_Block;
class Qorrfc_Base_Handler;
class Qorrfc_Data_Cbf;
class Qorrfc_Function;
class Qorrfc_Genprog_Cbf;
class Qorrfc_Grp_Base_Select_Cbf;
class Qorrfc_Grp_Bcompat_Cbf;
class Qorrfc_Grp_Connect_Cbf;
class Qorrfc_Grp_Function_Cbf;
class Qorrfc_Gwinfo_Cbf;
class Qorrfc_Itab;
class Qorrfc_Mdata_Cbf;
class Qorrfc_Parameter;
class Qorrfc_Ssi_Cbf;

class Qorrfc_Base_Request {
 public:
  typedef int (Qorrfc_Base_Request::*Callback_Handler)(RFC_HANDLE);
  enum { CONNECT_STRING_SIZE = 1000, RESULT_ENDED = 13 };

  // Takes the parser (and with it the document) over; either may be null.
  explicit Qorrfc_Base_Request(Qorrfc_Base_Handler *request_connection = nullptr,
                               XERCES_CPP_NAMESPACE::XercesDOMParser *parser = nullptr);
  virtual ~Qorrfc_Base_Request();
  Qorrfc_Base_Request(const Qorrfc_Base_Request &) = delete;
  Qorrfc_Base_Request &operator=(const Qorrfc_Base_Request &) = delete;

  // Called first by the protocol handler: reads chandle, dhandle and the
  // flags and links the connections; 0 or -1 (reported).
  virtual int parse_common_attributes();
  // Called after the logon: the call of the dialog function module; an RFC
  // return code, 0, or 13 when the request has ended and was reported.
  virtual int call_req_function();
  // Called by a data connection's worker to register at the gateway
  // (close_handle 0; gives the registered handle or 0) or to end that
  // registration (close_handle given). errtext is set on every path.
  virtual RFC_HANDLE rfcaccept_function(const char *prog_id, const char *gw_host,
                                        const char *gw_serv, char host_flag,
                                        const char **errtext, RFC_HANDLE close_handle);
  // Called while a dialog call runs: serves R/3's callbacks until the call
  // ends; reports a failure once.
  virtual int receive_loop(RFC_HANDLE handle);
  // Called for every incoming call: routes it by its function name.
  virtual int dispatch_callback(RFC_HANDLE handle);
  // The request-parameters callback handlers, one per request kind.
  virtual int handle_no_parameters(RFC_HANDLE handle);
  virtual int handle_grp_connect(RFC_HANDLE handle);
  virtual int handle_grp_sselect(RFC_HANDLE handle);
  virtual int handle_grp_nselect(RFC_HANDLE handle);
  virtual int handle_grp_gselect(RFC_HANDLE handle);
  virtual int handle_grp_function(RFC_HANDLE handle);
  virtual int handle_grp_bcompat(RFC_HANDLE handle);
  // The callback handlers that write to the request connection.
  virtual int handle_system_info(RFC_HANDLE handle);
  virtual int handle_mdata(RFC_HANDLE handle);
  // Called with a text table: every row as one text line to the client.
  virtual void send_table_lines(Qorrfc_Itab *table);
  virtual int handle_genprog(RFC_HANDLE handle);
  // Called by the protocol handler after the attributes: the request's own
  // logon (at most once); the handle, or 0 with error_info filled.
  virtual RFC_HANDLE open_connection();
  // Z_QOR_DATA_CHUNK, and its delivery to the client.
  virtual int handle_data_chunk(RFC_HANDLE handle);
  virtual int deliver_data_chunk(RFC_HANDLE handle, Qorrfc_Data_Cbf *chunk);
  // The calls of a background job (job number, token, its own callbacks).
  virtual int handle_batch_callrfc1(RFC_HANDLE handle);
  virtual int handle_batch_callrfc2(RFC_HANDLE handle);
  virtual int handle_parameter_table(RFC_HANDLE handle);
  virtual int handle_batch_callback1(RFC_HANDLE handle);
  virtual int handle_batch_callback2(RFC_HANDLE handle);
  // Called when a call ended with code (or the function's last code when
  // code is -1): tells the client what went wrong.
  virtual void report_rfc_result(Qorrfc_Function *function, int code = -1);

  // Called by a data connection's worker (one-byte MB_START): the gateway
  // values of the job-number callback; -1 when there are none.
  virtual int gwinfo(const char *&prog_id, const char *&gw_host, const char *&gw_serv,
                     char &host_flag);

  // Writing to a client; a null handler means the request connection.
  int send_raw(const char *bytes, size_t length, Qorrfc_Base_Handler *handler = nullptr);
  int send_line(const char *text, size_t length, Qorrfc_Base_Handler *handler = nullptr);
  int send_error(const char *message, int count = 0, Qorrfc_Base_Handler *handler = nullptr);
  void report_rfc_error(Qorrfc_Base_Handler *handler = nullptr,
                        const RFC_ERROR_INFO_EX *error = nullptr);
  void report_rfc_exception(const char *name, Qorrfc_Base_Handler *handler = nullptr);
  // Called by the request connection's thread once data's gateway loop has
  // ended: when the registration broke before the last chunk (and neither
  // the client nor the server stopped it), the client is told, in its
  // protocol, unless a callback has already reported the RFC error. True
  // when the extraction broke.
  bool report_broken_job(Qorrfc_Base_Handler *data);

  // The hexadecimal password text turned into the password; out (at least
  // 100 bytes) is empty when the text is not valid. 0 or -1.
  static int decode_password(char *out, const char *text);
  // The quote for a connect-string value: '"', or '\'' for a value that
  // holds a '"' (the library's values have no escapes).
  static char quote_for(const char *value);

  // Called while the select reply is built: the handle of the connection
  // R/3 is to send its rows to (in batch mode taken from the gateway
  // key's queue, where call_req_function put it).
  const char *get_grp_dh();

  // The dialog function module and extraction report of the logon.
  const char *get_abapfm();
  const char *get_abapprog();

  // What other parts read.
  char eod_flag() const { return eod_flag_; }
  char data_flag() const { return flags_[0]; }
  char metadata_flag() const { return flags_[1]; }
  char batch_flag() const { return flags_[2]; }
  char debug_flag() const { return flags_[3]; }
  int bufmax() const { return bufmax_; }
  int killed() const { return killed_; }
  RFC_HANDLE rfc_handle() const { return rfc_handle_; }
  Qorrfc_Function *main_function() const { return main_function_.get(); }
  RFC_ERROR_INFO_EX &error_info() { return error_info_; }
  Qorrfc_Base_Handler *request_connection() const { return request_connection_; }
  Qorrfc_Base_Handler *logon_connection() const { return logon_connection_; }
  Qorrfc_Base_Handler *data_connection() const { return data_connection_; }
  const char *data_connection_handle() const;
  XERCES_CPP_NAMESPACE::DOMElement *root() const { return root_; }
  // The root's attribute in the local code page; "" when absent.
  std::string root_attribute(const char *name) const;
  // The configured report variant ("" when none).
  static const char *configured_variant();
  // The logon connection's request (the connect request), or null.
  Qorrfc_Base_Request *logon_request() const;
  // The system information the logon's connect request received, or null.
  const Qorrfc_Ssi_Cbf *logon_ssi() const;
  const Qorrfc_Ssi_Cbf *ssi() const { return ssi_.get(); }
  const char *connect_string() const { return connect_string_; }
  const char *log_connect_string() const { return log_connect_string_; }
  const char *encrypted_password() const { return encrypted_password_.get(); }

 protected:
  // Receives a Z_QOR_DATA_CHUNK call into data_; on failure the client is
  // told and the library's code returned.
  int receive_data_chunk(RFC_HANDLE handle);
  // Appends name="value" and a blank (text alone when name is null) to a
  // connect string buffer at end, advancing end; stops at 999 characters.
  static void append_connect_text(char *buffer, size_t &end, const char *name, const char *value);
  // Hands start to the data connection, whose worker registers at the
  // gateway, and waits for the outcome: 0 registered, or 13 reported.
  // operation names the caller in the log.
  int start_gateway_loop(ACE_Message_Block *start, const char *operation);
  // Gives the gateway key of the logon's system information ("" without).
  std::string ssi_gateway_key() const;
  // Receives the end of function's call on handle, serving R/3's callbacks
  // meanwhile; reports a failure once (receive_loop for the main call).
  int receive_calls(Qorrfc_Function *function, RFC_HANDLE handle);
  // Called when a batch request's wait has ended: a data handle that no
  // job took stays behind no longer.
  void withdraw_data_handle();

  Callback_Handler parameters_handler_ = nullptr;
  std::unique_ptr<XERCES_CPP_NAMESPACE::XercesDOMParser> parser_;
  XERCES_CPP_NAMESPACE::DOMDocument *document_ = nullptr;
  XERCES_CPP_NAMESPACE::DOMElement *root_ = nullptr;
  std::unique_ptr<char[]> encrypted_password_;
  char connect_string_[CONNECT_STRING_SIZE];
  char log_connect_string_[CONNECT_STRING_SIZE];
  Qorrfc_Base_Handler *request_connection_;
  Qorrfc_Base_Handler *logon_connection_ = nullptr;
  Qorrfc_Base_Handler *data_connection_;
  char flags_[4] = {0, 0, 0, 0};
  std::string abapfm_;
  std::string abapprog_;
  std::unique_ptr<Qorrfc_Grp_Connect_Cbf> grpconn_;
  std::unique_ptr<Qorrfc_Grp_Base_Select_Cbf> grpssel_, grpnsel_, grpgsel_;
  std::unique_ptr<Qorrfc_Grp_Function_Cbf> grpfunc_;
  std::unique_ptr<Qorrfc_Grp_Bcompat_Cbf> bcfunc_;
  RFC_HANDLE rfc_handle_ = RFC_HANDLE_NULL;
  RFC_ERROR_INFO_EX error_info_;
  std::unique_ptr<Qorrfc_Data_Cbf> data_;
  std::unique_ptr<Qorrfc_Genprog_Cbf> genprog_;
  std::unique_ptr<Qorrfc_Mdata_Cbf> mdata_;
  std::unique_ptr<Qorrfc_Ssi_Cbf> ssi_;
  std::unique_ptr<Qorrfc_Gwinfo_Cbf> gwinfo_;
  std::unique_ptr<Qorrfc_Function> main_function_;
  std::unique_ptr<Qorrfc_Parameter> pdest_, preport_, pvariant_, pbufmax_;
  // A job's call back into the dialog module, kept apart from the main
  // call: the job may call while the main call is still returning.
  std::unique_ptr<Qorrfc_Function> job_function_;
  std::unique_ptr<Qorrfc_Parameter> job_pdest_;
  char eod_flag_ = 'N';
  std::unique_ptr<char[]> jobno_key_;
  char pbufmax_value_[2] = "";
  std::unique_ptr<char[]> bcompat_key_;
  std::unique_ptr<ACE_ARGV> accept_args_;
  int killed_ = 0;
  int bufmax_ = 0;
  // An RFC error block went to the client: a later report of the same
  // failure would only repeat it.
  bool rfc_error_sent_ = false;

 private:
  // Keeps a logon connection found by chandle alive while this request
  // uses it (a connect request is its own logon and holds no reference).
  Qorrfc_Handler_Ref logon_ref_;
};

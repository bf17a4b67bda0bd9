// A connection on the dialog-compatibility port: one command per line,
// answered "OK" or with lines that begin with ERROR. A client uses up to
// three such connections for one extraction: the logon connection (CPARM,
// CPICPARM, CCONNECT; it stays registered after its client leaves until
// another connection DISCONNECTs it), the data connection (receives the
// records) and the request connection (CHANDLE, DHANDLE, the description
// of the extraction, DCONNECT). The batch-compatibility handler derives
// from this class and reuses the commands.
//
// Threads: every command runs on the connection's worker. DCONNECT on a
// request connection reads the logon connection's logon values (under that
// connection's lock) and writes records straight to the data connection's
// socket.
#pragma once

#include <ace/Thread_Mutex.h>

#include <memory>
#include <string>
#include <vector>

#include "qorrfc_base_handler.h"
#include "qorrfc_compat_command.h"
#include "qorrfc_compat_link.h"
#include "qorrfc_compat_records.h"
#include "qorrfc_itab.h"
#include "sapitab.h"

class Qorrfc_Compat_Callback;

class Qorrfc_Compat_Handler : public Qorrfc_Base_Handler {
 public:
  enum Parameter_Mode { LOGON_PARAMETER, EXTRACTION_PARAMETER };
  // Results of a command: 0 answered "OK", 1 answered "ERROR invalid
  // parameter", anything else already answered; non-zero ends the
  // connection.
  enum { COMMAND_OK = 0, COMMAND_INVALID = 1, COMMAND_REFUSED = 2 };
  // Bounds on what a client may pile up on one connection.
  enum {
    MAX_WHERE_LINES = 10000,
    MAX_PARAMETER_LINES = 1000,
    MAX_CONNECT_STRING = 900,  // leaves room for the password in the logon text
    MAX_FUNCTION_MODULE = 100,
    TEXT_LINE = 72,
    MESSAGE_LINE = 256
  };

  // The values a logon connection gives the extraction (CPARM, CPICPARM).
  struct Logon_Values {
    std::string connect_string, logon_password;
    std::string user, password, client, destination, language;
    std::string function_module;
  };

  Qorrfc_Compat_Handler();
  ~Qorrfc_Compat_Handler() override;

  // Called by open once the worker runs: "HANDLE %s\n".
  int send_handle() override;
  // Called by the worker with one command line (without its line feed).
  int handle_mb(ACE_Message_Block *request) override;
  // Called with ALL_EVENTS_MASK as the worker ends (and with READ_MASK by
  // the reactor): gives up the links before the connection's own reference.
  int handle_close(ACE_HANDLE fd, ACE_Reactor_Mask mask) override;
  // Called by the worker before closing for an oversized request.
  const char *request_too_large_text() const override;
  const char *capacity_refusal_text() const override;
  // Called by the worker each idle second: ends a kept logon (see
  // kept_logon_limit) that nothing has linked to for that long after its
  // client left.
  int handle_idle() override;
  // Seconds a kept logon may wait unnamed before it is ended; 0 keeps it
  // until a DISCONNECT. Set once at start-up.
  static void kept_logon_limit(long seconds);
  static long kept_logon_limit();
  // What the shared request code reports goes out in this protocol's
  // form: "ERROR %s" lines, and the RFC error as send_error_lines.
  int send_error(const char *message, int width) override;
  bool send_own_rfc_error(const RFC_ERROR_INFO_EX &error) override;

  // Called by CCONNECT, and by another connection's DCONNECT: logs on to
  // R/3 with this connection's logon values; the handle, or 0 with error
  // filled.
  virtual RFC_HANDLE logon(RFC_ERROR_INFO_EX &error);
  // Called for CPARM (logon) and CPICPARM (extraction) with the line's
  // tokens (the command first).
  virtual int set_cpic_parameter(Parameter_Mode mode, const std::vector<std::string> &tokens);
  // Called for CCONNECT: logon and the system's information.
  virtual int process_cconnect();
  // Called for CHANDLE, DHANDLE and DISCONNECT with the handle given (null
  // when none was).
  virtual int process_chandle(const char *handle);
  // Called for DCONNECT once the links and the record length are known to
  // be there: the extraction.
  virtual int rfc_process_dconnect();
  virtual int process_dhandle(const char *handle);
  virtual int process_disconnect(const char *handle);
  // Write reply lines to this connection.
  virtual void send_system_info(const char *info, char bw_flag);
  virtual void send_error_lines(RFC_ERROR_INFO_EX &error);
  virtual void send_exception_lines(const char *name);
  // Called by set_cpic_parameter: name="value" and a blank to the connect
  // string.
  virtual void add_logon_parameter(const char *name, const char *value);
  // Called during an extraction once data flows: message records on the
  // data connection.
  virtual void send_data_message(const char *format, ...)
      __attribute__((format(printf, 2, 3)));

  // A copy of the logon values, taken under this connection's lock.
  Logon_Values logon_values() const;
  const std::string &table_name() const { return table_name_; }
  const std::string &form() const { return form_; }
  const std::string &record_length_text() const { return record_length_text_; }
  int record_length() const { return record_length_; }
  ITAB_H parameter_table() const { return parameter_table_.handle(); }
  ITAB_H where_table() const { return where_table_.handle(); }
  ITAB_H message_table() const { return message_table_.handle(); }
  RFC_ERROR_INFO_EX &error_record() { return error_record_; }

 protected:
  // function_module_name follows the namespace in the initial function
  // module, e.g. "Z_QOR_BATCH_V8COMPAT".
  explicit Qorrfc_Compat_Handler(const char *function_module_name);

  // The connections the links lead to, while they have not ended.
  Qorrfc_Base_Handler *live_logon_link() const { return logon_link_.live(); }
  Qorrfc_Base_Handler *live_data_link() const { return data_link_.live(); }
  // Called when the data connection can serve no more: gives it up.
  void clear_data_link();
  // Called for each callback R/3 makes while DCONNECT's call runs.
  int process_rfc_callback(RFC_HANDLE handle);

 private:
  typedef Qorrfc_Compat_Command Command;
  typedef int (Qorrfc_Compat_Handler::*Command_Operation)(const Command &);
  struct Command_Entry {
    const char *name;
    Command_Operation operation;
  };
  static const Command_Entry COMMANDS[];

  int run(const Command &command);
  int cparm(const Command &c);
  int cpicparm(const Command &c);
  int cconnect(const Command &c);
  int chandle(const Command &c);
  int dconnect(const Command &c);
  int dhandle(const Command &c);
  int disconnect(const Command &c);
  int fmod(const Command &c);
  int table(const Command &c);
  int length(const Command &c);
  int nothing(const Command &c);
  int wheretxt(const Command &c);
  // Appends a parameter line unless the table is full (then refused).
  int add_parameter_line(const char *format, const std::string &value);
  // The logon connection named by CHANDLE, if it is a live compatibility
  // connection.
  Qorrfc_Compat_Handler *logon_connection() const;
  // DCONNECT's steps around the call.
  void add_extraction_parameters(const Logon_Values &values);
  int call_function_module(RFC_HANDLE handle, const std::string &name);
  void report_message_table(bool before_first_callback);
  // Writes a text as message records to the data connection.
  void send_data_text(const char *text);
  int write_chunk(RFC_HANDLE handle);

  mutable ACE_Thread_Mutex values_lock_;  // guards logon_
  Logon_Values logon_;
  std::string table_name_;
  std::string form_ = "GETDATA";
  std::string record_length_text_;
  int record_length_ = 0;
  Qorrfc_Compat_Records records_;
  int before_first_callback_ = 1;
  int completion_confirmed_ = 0;
  Qorrfc_Itab message_table_{ITAB_NULL, Qorrfc_Itab::DELETE_TABLE};
  Qorrfc_Itab parameter_table_{ITAB_NULL, Qorrfc_Itab::DELETE_TABLE};
  Qorrfc_Itab where_table_{ITAB_NULL, Qorrfc_Itab::DELETE_TABLE};
  RFC_ERROR_INFO_EX error_record_;
  Qorrfc_Compat_Link logon_link_;
  Qorrfc_Compat_Link data_link_;
  // The callbacks of the extraction under way.
  std::unique_ptr<Qorrfc_Compat_Callback> callback_;
  // When the kept logon was last seen linked or with its client (worker).
  ACE_Time_Value last_named_;
};

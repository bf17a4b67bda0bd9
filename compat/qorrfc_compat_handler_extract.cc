// DCONNECT: the extraction in one dialog call of the logon connection's
// function module, the callbacks R/3 makes while it runs, and the report
// of the messages it leaves.
#include <ace/Log_Msg.h>
#include <ace/OS_NS_string.h>
#include <ace/OS_NS_sys_socket.h>

#include "qorrfc_base_request.h"
#include "qorrfc_compat_callback.h"
#include "qorrfc_compat_handler.h"
#include "qorrfc_function.h"
#include "qorrfcdc.h"

namespace {

const char NO_COMPLETION[] = "ERROR extraction ended without positive confimation of completions";
const char WITH_ERRORS[] = "ERROR extraction ended with errors";

}  // namespace

Qorrfc_Compat_Handler *Qorrfc_Compat_Handler::logon_connection() const {
  return dynamic_cast<Qorrfc_Compat_Handler *>(live_logon_link());
}

int Qorrfc_Compat_Handler::dconnect(const Command &) {
  // An extraction needs all three; without them the records would have
  // nowhere to go or no length, so the command is refused up front.
  const char *missing = nullptr;
  if (!logon_link_.linked())
    missing = "ERROR DCONNECT needs a logon connection (CHANDLE)\n";
  else if (live_logon_link() == nullptr)
    missing = "ERROR logon connection has ended\n";
  else if (logon_connection() == nullptr)
    missing = "ERROR CHANDLE names no compatibility connection\n";
  else if (!data_link_.linked())
    missing = "ERROR DCONNECT needs a data connection (DHANDLE)\n";
  else if (live_data_link() == nullptr)
    missing = "ERROR data connection has ended\n";
  else if (record_length_ <= 0)
    missing = "ERROR DCONNECT needs a record length (LENGTH)\n";
  if (missing) {
    send_format("%s", missing);
    return COMMAND_REFUSED;
  }
  return rfc_process_dconnect();
}

int Qorrfc_Compat_Handler::rfc_process_dconnect() {
  Qorrfc_Compat_Handler *logon = logon_connection();
  if (logon == nullptr) return -1;
  RFC_HANDLE handle = logon->logon(error_record_);
  if (handle == RFC_HANDLE_NULL) {
    send_error_lines(error_record_);
    return -1;
  }
  Logon_Values values = logon->logon_values();
  add_extraction_parameters(values);
  int rc = call_function_module(handle, values.function_module);
  report_message_table(before_first_callback_ != 0);
  // The connection to R/3 broke (or R/3 ended the session): the client
  // learns why on the request connection as well, not only that the
  // records stopped.
  if (rc == RFC_FAILURE || rc == RFC_SYS_EXCEPTION) send_error_lines(error_record_);
  if (Qorrfc_Base_Handler *data = live_data_link()) {
    ACE_HANDLE socket = data->peer().get_handle();
    // The end of the records: the client reads until the stream ends.
    if (socket != ACE_INVALID_HANDLE) ACE_OS::shutdown(socket, ACE_SHUTDOWN_WRITE);
  }
  RfcClose(handle);
  return rc == RFC_OK ? COMMAND_OK : -1;
}

void Qorrfc_Compat_Handler::add_extraction_parameters(const Logon_Values &values) {
  if (!values.user.empty()) parameter_table_.append_line("USER=%s", values.user.c_str());
  if (!values.client.empty()) parameter_table_.append_line("CLIENT=%s", values.client.c_str());
  if (!values.language.empty())
    parameter_table_.append_line("LANGUAGE=%s", values.language.c_str());
  if (!values.destination.empty())
    parameter_table_.append_line("DESTINATION=%s", values.destination.c_str());
  if (!values.password.empty()) {
    char password[QORRFC_PASSWORD_MAX + 1];
    Qorrfc_Base_Request::decode_password(password, values.password.c_str());
    parameter_table_.append_line("PASSWORD=%s", password);
    ACE_OS::memset(password, ' ', sizeof password);
  }
}

int Qorrfc_Compat_Handler::call_function_module(RFC_HANDLE handle, const std::string &name) {
  Qorrfc_Table parameters("Z_QOR_PTAB", RFCTYPE_CHAR, TEXT_LINE, parameter_table_.handle());
  Qorrfc_Table where("Z_QOR_WTAB", RFCTYPE_CHAR, TEXT_LINE, where_table_.handle());
  Qorrfc_Table messages("Z_QOR_LTAB", RFCTYPE_CHAR, MESSAGE_LINE, message_table_.handle());
  Qorrfc_Function function(name.c_str());
  function.add_table(&parameters);
  function.add_table(&where);
  function.add_table(&messages);
  function.build_all();
  callback_.reset(new Qorrfc_Compat_Callback);
  int rc = function.call_receive(handle);
  while (rc == RFC_CALL) {
    process_rfc_callback(handle);
    rc = function.receive(handle);
  }
  callback_.reset();
  if (rc == RFC_FAILURE || rc == RFC_SYS_EXCEPTION) error_record_ = function.error_info();
  return rc;
}

void Qorrfc_Compat_Handler::report_message_table(bool before_first_callback) {
  unsigned n = message_table_.rows();
  for (unsigned i = 1; i <= n; ++i) {
    const char *line = message_table_.row(i);
    if (line == nullptr) continue;
    if (before_first_callback)
      send_format("%.*s\n", static_cast<int>(MESSAGE_LINE), line);
    else
      send_data_message("%.*s", static_cast<int>(MESSAGE_LINE), line);
  }
  const char *end = n > 0 ? WITH_ERRORS : completion_confirmed_ ? nullptr : NO_COMPLETION;
  if (end == nullptr) return;
  if (before_first_callback)
    send_format("%s\n", end);
  else
    send_data_text(end);
}

int Qorrfc_Compat_Handler::process_rfc_callback(RFC_HANDLE handle) {
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) entering Qorrfc_Compat_Handler::process_rfc_callback\n"));
  if (before_first_callback_) {
    // Data is about to flow: from now on messages go to the data connection.
    before_first_callback_ = 0;
    send_format("OK\n");
  }
  if (!callback_) callback_.reset(new Qorrfc_Compat_Callback);
  Qorrfc_Compat_Callback &callback = *callback_;
  char name[200];
  ACE_OS::memset(name, 0, sizeof name);
  RFC_RC rc = RfcGetName(handle, name);
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) Qorrfc_Compat_Handler::process_rfc_callback after RfcGetname\n"));
  if (rc != RFC_OK) return rc;
  if (ACE_OS::strcmp(name, "CALLER_P") == 0) {
    ACE_DEBUG((LM_TRACE,
               "%D(%P|%t) Qorrfc_Compat_Handler::process_rfc_callback got CALLER_P callback\n"));
    rc = callback.get_p1(handle);
    return rc == RFC_OK ? callback.answer(handle) : rc;
  }
  if (ACE_OS::strcmp(name, "CALLER_C") == 0) {
    rc = callback.get_p1(handle);
    completion_confirmed_ = 1;
    return rc == RFC_OK ? callback.answer(handle) : rc;
  }
  if (ACE_OS::strcmp(name, "CALLER_D") == 0) {
    rc = callback.get_chunk(handle);
    return rc == RFC_OK ? write_chunk(handle) : rc;
  }
  rc = callback.get_nothing(handle);
  return rc == RFC_OK ? RfcRaise(handle, const_cast<char *>("UNKNOWN FUNCTION")) : rc;
}

int Qorrfc_Compat_Handler::write_chunk(RFC_HANDLE handle) {
  Qorrfc_Base_Handler *data = live_data_link();
  int written = data ? records_.write_chunk(data->peer().get_handle(), callback_->chunk(),
                                           callback_->p1_number())
                     : -1;
  // A data connection that takes no more bytes ends the extraction in R/3.
  if (written != 0) return RfcRaise(handle, const_cast<char *>("KILLED_BY_QOR"));
  return callback_->answer(handle);
}

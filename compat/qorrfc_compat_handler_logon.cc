// The logon of the compatibility protocols and CCONNECT, which proves it.
#include <ace/Log_Msg.h>
#include <ace/OS_NS_stdio.h>
#include <ace/OS_NS_string.h>

#include "qorrfc_base_request.h"
#include "qorrfc_compat_handler.h"
#include "qorrfc_function.h"
#include "qorrfcdc.h"

RFC_HANDLE Qorrfc_Compat_Handler::logon(RFC_ERROR_INFO_EX &error) {
  Logon_Values values = logon_values();
  char password[QORRFC_PASSWORD_MAX + 1];
  Qorrfc_Base_Request::decode_password(password, values.logon_password.c_str());
  if (password[0] == '\0') {
    ACE_OS::memset(&error, 0, sizeof error);
    error.group = RFC_ERROR_PROGRAM;
    ACE_OS::snprintf(error.key, sizeof error.key, "%s", "RFC_ERROR_PROGRAM");
    ACE_OS::snprintf(error.message, sizeof error.message, "%s", "Invalid encrypted password from QOR");
    return RFC_HANDLE_NULL;
  }
  char quote = Qorrfc_Base_Request::quote_for(password);
  char text[1024];
  ACE_OS::snprintf(text, sizeof text, "%spasswd=%c%s%c lcheck=1", values.connect_string.c_str(),
                   quote, password, quote);
  ACE_DEBUG((LM_NOTICE, "%D(%P|%t) About to RfcOpenEx with '%spasswd=\"????????\" lcheck=1'\n",
             values.connect_string.c_str()));
  RFC_HANDLE handle = RfcOpenEx(text, &error);
  ACE_OS::memset(password, ' ', sizeof password);
  ACE_OS::memset(text, ' ', sizeof text);
  return handle;
}

int Qorrfc_Compat_Handler::cconnect(const Command &) { return process_cconnect(); }

int Qorrfc_Compat_Handler::process_cconnect() {
  RFC_HANDLE handle = logon(error_record_);
  if (handle == RFC_HANDLE_NULL) {
    send_error_lines(error_record_);
    return -1;
  }
  char info[200];
  ACE_OS::memset(info, ' ', sizeof info);
  Qorrfc_Parameter export_entry("RFCSI_EXPORT", info, sizeof info);
  Qorrfc_Function function("RFC_SYSTEM_INFO");
  function.add_importing(&export_entry);
  function.build_all();
  RFC_RC rc = function.call_receive(handle);
  if (rc == RFC_OK) {
    // From now on the connection outlives its client, so that request
    // connections can name it, until a DISCONNECT releases it.
    delete_on_close(0);
    send_system_info(info, 0);
  } else if (rc == RFC_EXCEPTION || rc == RFC_SYS_EXCEPTION) {
    send_exception_lines(function.exception());
  } else if (rc == RFC_FAILURE) {
    send_error_lines(function.error_info());
  } else {
    // The library kept no error for this outcome: say what happened
    // rather than repeat an older error.
    RFC_ERROR_INFO_EX error;
    ACE_OS::memset(&error, 0, sizeof error);
    error.group = RFC_ERROR_PROGRAM;
    ACE_OS::snprintf(error.key, sizeof error.key, "%s", "RFC_ERROR_PROGRAM");
    ACE_OS::snprintf(error.message, sizeof error.message,
                     "RFC_SYSTEM_INFO ended with return code %d", static_cast<int>(rc));
    send_error_lines(error);
  }
  RfcClose(handle);
  return COMMAND_OK;
}

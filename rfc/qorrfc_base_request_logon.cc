// The request's own logon to R/3 and the report of RFC errors.
#include <ace/Log_Msg.h>
#include <ace/OS_NS_stdio.h>
#include <ace/OS_NS_string.h>

#include "qorrfc_base_handler.h"
#include "qorrfc_base_request.h"
#include "qorrfcdc.h"

int Qorrfc_Base_Request::decode_password(char *out, const char *text) {
  return qorrfc_decode_password(out, QORRFC_PASSWORD_MAX + 1, text);
}

char Qorrfc_Base_Request::quote_for(const char *value) {
  return ACE_OS::strchr(value, '"') && !ACE_OS::strchr(value, '\'') ? '\'' : '"';
}

void Qorrfc_Base_Request::append_connect_text(char *buffer, size_t &end, const char *name,
                                              const char *value) {
  if (end >= CONNECT_STRING_SIZE - 1) return;
  int n;
  if (name) {
    char q = quote_for(value);
    n = ACE_OS::snprintf(buffer + end, CONNECT_STRING_SIZE - end, "%s=%c%s%c ", name, q, value, q);
  } else {
    n = ACE_OS::snprintf(buffer + end, CONNECT_STRING_SIZE - end, "%s ", value);
  }
  if (n < 0) return;
  end += static_cast<size_t>(n);
  if (end > CONNECT_STRING_SIZE - 1) end = CONNECT_STRING_SIZE - 1;
}

RFC_HANDLE Qorrfc_Base_Request::open_connection() {
  if (rfc_handle_ != RFC_HANDLE_NULL) return rfc_handle_;
  Qorrfc_Base_Request *logon = logon_request();
  const char *connect = logon ? logon->connect_string_ : "";
  const char *log_connect = logon ? logon->log_connect_string_ : "";
  const char *encrypted = logon ? logon->encrypted_password() : nullptr;
  char text[CONNECT_STRING_SIZE];
  char log_text[CONNECT_STRING_SIZE];
  if (encrypted) {
    char password[QORRFC_PASSWORD_MAX + 1];
    // A text of just the offset is valid: it stands for the empty password.
    if (decode_password(password, encrypted) != 0) {
      ACE_OS::memset(&error_info_, 0, sizeof error_info_);
      error_info_.group = RFC_ERROR_PROGRAM;
      ACE_OS::strcpy(error_info_.key, "RFC_ERROR_PROGRAM");
      ACE_OS::strcpy(error_info_.message, "Invalid encrypted password from QOR");
      return RFC_HANDLE_NULL;
    }
    // A password holding a double quote would end its value early (and the
    // rest would be read as further logon parameters).
    char q = quote_for(password);
    ACE_OS::snprintf(text, sizeof text, "%spasswd=%c%s%c lcheck=1", connect, q, password, q);
    ACE_OS::memset(password, 0, sizeof password);
    ACE_OS::snprintf(log_text, sizeof log_text, "%spasswd=\"????????\" lcheck=1", log_connect);
  } else {
    ACE_OS::snprintf(text, sizeof text, "%slcheck=1", connect);
    ACE_OS::snprintf(log_text, sizeof log_text, "%slcheck=1", log_connect);
  }
  ACE_DEBUG((LM_NOTICE, "%D(%P|%t) About to RfcOpenEx with '%s'\n", log_text));
  rfc_handle_ = RfcOpenEx(text, &error_info_);
  ACE_OS::memset(text, 0, sizeof text);
  return rfc_handle_;
}

void Qorrfc_Base_Request::report_rfc_error(Qorrfc_Base_Handler *handler,
                                           const RFC_ERROR_INFO_EX *error) {
  if (error == nullptr) error = &error_info_;
  if (handler == nullptr) handler = request_connection_;
  rfc_error_sent_ = true;
  if (handler != nullptr && handler->send_own_rfc_error(*error)) return;
  char line[1024];
  send_error("RFC Error:", 0, handler);
  ACE_OS::snprintf(line, 256, "Error Group: %d", static_cast<int>(error->group));
  send_error(line, 0, handler);
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) RFC ERROR\n%s\n", line));
  ACE_OS::snprintf(line, sizeof line, "Key        : %.*s", static_cast<int>(sizeof error->key),
                   error->key);
  send_error(line, 0, handler);
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) %s\n", line));
  const char *piece = error->message;
  const char *end = piece + ACE_OS::strnlen(piece, sizeof error->message);
  while (piece < end) {
    const char *lf = static_cast<const char *>(ACE_OS::memchr(piece, '\n', end - piece));
    const char *stop = lf ? lf : end;
    if (stop > piece) {
      ACE_OS::snprintf(line, sizeof line, "Message    : %.*s", static_cast<int>(stop - piece), piece);
      send_error(line, 0, handler);
      ACE_DEBUG((LM_TRACE, "%D(%P|%t) %s\n", line));
    }
    piece = lf ? lf + 1 : end;
  }
}

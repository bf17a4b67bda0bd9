// The commands that only store values or link connections.
#include <ace/Guard_T.h>
#include <ace/Log_Msg.h>
#include <ace/OS_NS_string.h>

#include <cstdio>

#include "qorrfc_base_request.h"
#include "qorrfc_compat_handler.h"
#include "qorrfc_handler_registry.h"

namespace {

// The decimal prefix of text as a record length: digits after an optional
// sign; 0 without digits. Values past the eight digits of the record
// length text are refused as -1 rather than overflowing.
long decimal_prefix(const char *text) {
  if (text == nullptr) return 0;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > 99999999) return -1;
  }
  return negative ? -value : value;
}

}  // namespace

int Qorrfc_Compat_Handler::cparm(const Command &c) {
  return set_cpic_parameter(LOGON_PARAMETER, c.tokens);
}

int Qorrfc_Compat_Handler::cpicparm(const Command &c) {
  return set_cpic_parameter(EXTRACTION_PARAMETER, c.tokens);
}

int Qorrfc_Compat_Handler::set_cpic_parameter(Parameter_Mode mode,
                                              const std::vector<std::string> &tokens) {
  if (tokens.size() < 2 || tokens[1].size() != 1) return COMMAND_INVALID;
  char key = tokens[1][0];
  const std::string value = tokens.size() > 2 ? tokens[2] : std::string();
  if (mode == EXTRACTION_PARAMETER) {
    if (key == 'f') {
      form_ = value;
      return add_parameter_line("FORM=%s", value);
    }
    ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, values_lock_, COMMAND_INVALID);
    std::string *field = key == 'u'   ? &logon_.user
                         : key == 'c' ? &logon_.client
                         : key == 'l' ? &logon_.language
                         : key == 'p' ? &logon_.password
                         : key == 'd' ? &logon_.destination
                                      : nullptr;
    if (field == nullptr) return COMMAND_INVALID;
    *field = value;
    return COMMAND_OK;
  }
  // Logon values also serve as defaults for the extraction values that
  // CPICPARM has not set.
  static const struct {
    char key;
    const char *name;
    std::string Logon_Values::*extraction;
  } keys[] = {{'u', "user", &Logon_Values::user},   {'c', "client", &Logon_Values::client},
              {'l', "lang", &Logon_Values::language}, {'p', nullptr, &Logon_Values::password},
              {'d', "dest", nullptr},               {'h', "ashost", nullptr},
              {'s', "sysnr", nullptr},              {'g', "gwhost", nullptr},
              {'x', "gwserv", nullptr},             {'2', "type", nullptr},
              {'3', "type", nullptr},               {'t', "trace", nullptr}};
  for (const auto &k : keys) {
    if (k.key != key) continue;
    const std::string shown = key == '2' || key == '3' ? std::string(1, key) : value;
    {
      ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, values_lock_, COMMAND_INVALID);
      // The value may need its surrounding quotes and a blank besides.
      if (k.name && logon_.connect_string.size() + ACE_OS::strlen(k.name) + shown.size() + 4 >
                        MAX_CONNECT_STRING) {
        guard.release();
        send_format("ERROR logon parameters too long\n");
        return COMMAND_REFUSED;
      }
      if (key == 'p') logon_.logon_password = value;
      if (k.extraction && (logon_.*k.extraction).empty()) logon_.*k.extraction = value;
    }
    if (k.name) add_logon_parameter(k.name, shown.c_str());
    return COMMAND_OK;
  }
  return COMMAND_INVALID;
}

void Qorrfc_Compat_Handler::add_logon_parameter(const char *name, const char *value) {
  // A value holding a double quote is enclosed in single quotes, so that
  // it cannot end early and smuggle in further logon parameters.
  char quote = Qorrfc_Base_Request::quote_for(value);
  ACE_GUARD(ACE_Thread_Mutex, guard, values_lock_);
  logon_.connect_string.append(name).append(1, '=').append(1, quote).append(value);
  logon_.connect_string.append(1, quote).append(1, ' ');
}

Qorrfc_Compat_Handler::Logon_Values Qorrfc_Compat_Handler::logon_values() const {
  ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, values_lock_, Logon_Values());
  return logon_;
}

int Qorrfc_Compat_Handler::add_parameter_line(const char *format, const std::string &value) {
  if (parameter_table_.rows() >= MAX_PARAMETER_LINES) {
    send_format("ERROR too many parameter lines (at most %d)\n", MAX_PARAMETER_LINES);
    return COMMAND_REFUSED;
  }
  parameter_table_.append_line(format, value.c_str());
  return COMMAND_OK;
}

int Qorrfc_Compat_Handler::chandle(const Command &c) { return process_chandle(c.token(1)); }
int Qorrfc_Compat_Handler::dhandle(const Command &c) { return process_dhandle(c.token(1)); }
int Qorrfc_Compat_Handler::disconnect(const Command &c) { return process_disconnect(c.token(1)); }

int Qorrfc_Compat_Handler::process_chandle(const char *handle) {
  Qorrfc_Handler_Ref found = Qorrfc_Handler_Registry::instance()->find(handle);
  if (!found) {
    send_format("ERROR: CHANDLE not found\n");
    return COMMAND_INVALID;
  }
  // The logon connection is not told who links to it: a pointer back to a
  // request connection would outlive that connection.
  logon_link(found.get());
  logon_link_.set(this, std::move(found));
  return COMMAND_OK;
}

int Qorrfc_Compat_Handler::process_dhandle(const char *handle) {
  Qorrfc_Handler_Ref found = Qorrfc_Handler_Registry::instance()->find(handle);
  if (!found) {
    send_format("ERROR: DHANDLE not found\n");
    return COMMAND_INVALID;
  }
  if (found.get() == this) {
    // A connection that receives its own records owns nothing extra.
    release_data_connection();
    set_request_handler(this);
  } else {
    link_data_connection(found);
  }
  data_link_.set(this, std::move(found));
  return COMMAND_OK;
}

int Qorrfc_Compat_Handler::process_disconnect(const char *handle) {
  Qorrfc_Handler_Ref found = Qorrfc_Handler_Registry::instance()->find(handle);
  if (!found) {
    send_format("ERROR: CHANDLE not found\n");
    return COMMAND_INVALID;
  }
  found->delete_on_close(1);
  // Cooperative: the worker notices it at its next one-second wait.
  found->cancel();
  return COMMAND_OK;
}

int Qorrfc_Compat_Handler::fmod(const Command &c) {
  if (c.token(1) == nullptr) {
    send_format("ERROR Function Module Name missing\n");
    return COMMAND_REFUSED;
  }
  ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, values_lock_, COMMAND_INVALID);
  logon_.function_module = c.tokens[1].substr(0, MAX_FUNCTION_MODULE);
  return COMMAND_OK;
}

int Qorrfc_Compat_Handler::table(const Command &c) {
  if (c.token(1) == nullptr) {
    send_format("ERROR Table Name missing\n");
    return COMMAND_REFUSED;
  }
  int result = add_parameter_line("TABLE_NAME=%s", c.tokens[1]);
  if (result == COMMAND_OK) table_name_ = c.tokens[1];
  return result;
}

int Qorrfc_Compat_Handler::length(const Command &c) {
  long n = decimal_prefix(c.token(1));
  if (n <= 0) {
    send_format("ERROR LENGTH is invalid\n");
    return COMMAND_REFUSED;
  }
  int result = add_parameter_line("RECORD_LENGTH=%s", std::to_string(n));
  if (result != COMMAND_OK) return result;
  record_length_ = static_cast<int>(n);
  records_.record_length(static_cast<size_t>(n));
  char text[16];
  std::snprintf(text, sizeof text, "%8.8d", record_length_);
  record_length_text_ = text;
  return COMMAND_OK;
}

int Qorrfc_Compat_Handler::wheretxt(const Command &c) {
  if (where_table_.rows() >= MAX_WHERE_LINES) {
    send_format("ERROR too many WHERETXT lines (at most %d)\n", MAX_WHERE_LINES);
    return COMMAND_REFUSED;
  }
  // The text after "WHERETXT" and one separator, exactly as sent; nothing
  // there stores a blank line.
  const char *text = c.text.size() > 9 ? c.text.c_str() + 9 : "";
  where_table_.append_line("%s", text);
  return COMMAND_OK;
}

#include "qorrfc_compat_handler.h"

#include <ace/Log_Msg.h>
#include <ace/Message_Block.h>
#include <ace/OS_NS_string.h>
#include <ace/OS_NS_sys_time.h>

#include <atomic>

#include "qorrfc_compat_callback.h"
#include "qorrfc_compat_command.h"
#include "unix_qorrfc_service_options.h"


// Compared in this order, exactly, case included.
const Qorrfc_Compat_Handler::Command_Entry Qorrfc_Compat_Handler::COMMANDS[] = {
    {"CPARM", &Qorrfc_Compat_Handler::cparm},
    {"CPICPARM", &Qorrfc_Compat_Handler::cpicparm},
    {"CCONNECT", &Qorrfc_Compat_Handler::cconnect},
    {"CHANDLE", &Qorrfc_Compat_Handler::chandle},
    {"DCONNECT", &Qorrfc_Compat_Handler::dconnect},
    {"DHANDLE", &Qorrfc_Compat_Handler::dhandle},
    {"DISCONNECT", &Qorrfc_Compat_Handler::disconnect},
    {"FMOD", &Qorrfc_Compat_Handler::fmod},
    {"TABLE", &Qorrfc_Compat_Handler::table},
    {"LENGTH", &Qorrfc_Compat_Handler::length},
    {"WHERESTART", &Qorrfc_Compat_Handler::nothing},
    {"WHERETXT", &Qorrfc_Compat_Handler::wheretxt},
    {"WHEREEND", &Qorrfc_Compat_Handler::nothing},
};

namespace {
// Old clients come back for their logon within minutes; hours leave room
// for a slow batch chain and still end what nobody will ever name.
std::atomic<long> kept_logon_seconds{4 * 3600};
}  // namespace

void Qorrfc_Compat_Handler::kept_logon_limit(long seconds) { kept_logon_seconds = seconds; }

long Qorrfc_Compat_Handler::kept_logon_limit() { return kept_logon_seconds; }

Qorrfc_Compat_Handler::Qorrfc_Compat_Handler() : Qorrfc_Compat_Handler("Z_QOR_READ_TABLE_V8COMPAT") {}

Qorrfc_Compat_Handler::Qorrfc_Compat_Handler(const char *function_module_name) {
  logon_.function_module =
      std::string(qorrfc_options()->ns()).append(function_module_name).substr(0, MAX_FUNCTION_MODULE);
  ACE_OS::memset(&error_record_, 0, sizeof error_record_);
  message_table_.create("Z_QOR_LTAB", MESSAGE_LINE, 0);
  parameter_table_.create("Z_QOR_PTAB", TEXT_LINE, 0);
  where_table_.create("Z_QOR_WTAB", TEXT_LINE, 0);
}

Qorrfc_Compat_Handler::~Qorrfc_Compat_Handler() {
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) Entering Qorrfc_Compat_Handler destructor\n"));
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) Leaving Qorrfc_Compat_Handler destructor\n"));
}

int Qorrfc_Compat_Handler::handle_close(ACE_HANDLE fd, ACE_Reactor_Mask mask) {
  if (is_final_close(fd, mask)) {
    // An ended connection follows no links, and two connections that name
    // each other must not keep each other alive once both have ended.
    logon_link_.reset();
    data_link_.reset();
    logon_link(nullptr);
    release_data_connection();
  }
  return Qorrfc_Base_Handler::handle_close(fd, mask);
}

int Qorrfc_Compat_Handler::handle_idle() {
  ACE_Time_Value now = ACE_OS::gettimeofday();
  // Only a kept logon whose client has left waits to be named. A request
  // connection's link to it (CHANDLE) holds a reference besides its own,
  // and so does a look-up under way; either counts as named.
  if (delete_on_close() || !client_gone() || references() > 1 ||
      last_named_ == ACE_Time_Value::zero) {
    last_named_ = now;
    return 0;
  }
  long limit = kept_logon_limit();
  if (limit <= 0 || now - last_named_ < ACE_Time_Value(static_cast<time_t>(limit))) return 0;
  ACE_DEBUG((LM_INFO, "%D(%P|%t) Ending a kept logon that no connection named for %d s\n",
             static_cast<int>(limit)));
  delete_on_close(1);
  return 1;
}

void Qorrfc_Compat_Handler::clear_data_link() {
  data_link_.reset();
  release_data_connection();
}

int Qorrfc_Compat_Handler::send_handle() { return send_format("HANDLE %s\n", handle()); }

const char *Qorrfc_Compat_Handler::request_too_large_text() const {
  return "ERROR request too large\n";
}

const char *Qorrfc_Compat_Handler::capacity_refusal_text() const {
  return "ERROR server busy: no room for another connection, try again later\n";
}

int Qorrfc_Compat_Handler::handle_mb(ACE_Message_Block *request) {
  std::string line;
  for (ACE_Message_Block *b = request; b; b = b->cont()) line.append(b->rd_ptr(), b->length());
  Command command(std::move(line));
  const std::string shown = command.log_text();
  ACE_DEBUG((LM_DEBUG, "%D(%P|%t) Qorrfc_Compat_Handler::handle_mb got '%.*s' from QOR\n",
             static_cast<int>(shown.size()), shown.c_str()));
  int result = run(command);
  if (result == COMMAND_OK)
    send_format("OK\n");
  else if (result == COMMAND_INVALID)
    send_format("ERROR invalid parameter\n");
  return result;
}

int Qorrfc_Compat_Handler::run(const Command &command) {
  const std::string &name = command.name();
  for (const Command_Entry &entry : COMMANDS)
    if (name == entry.name) return (this->*entry.operation)(command);
  send_format("ERROR unknown command '%s'\n", name.c_str());
  return COMMAND_REFUSED;
}

int Qorrfc_Compat_Handler::nothing(const Command &) { return COMMAND_OK; }

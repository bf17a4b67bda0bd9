#include "nt_qorrfc_service.h"

#include <ace/ARGV.h>
#include <ace/Log_Msg.h>
#include <ace/Reactor.h>
#include <ace/Thread.h>

#include <atomic>
#include <string>

#include "qorrfc_service.h"

#if !defined (ACE_WIN32)
#include "qorrfc_service_manager.h"
#endif

namespace {

// The foreground server that console events stop; they arrive on a thread
// of their own.
std::atomic<nt_qorrfc_service *> console_service{nullptr};

#if defined (ACE_WIN32)
BOOL WINAPI console_event(DWORD) {
  nt_qorrfc_service *service = console_service;
  if (service) service->handle_control(SERVICE_CONTROL_STOP);
  return TRUE;
}
#else
int console_event(DWORD) {
  nt_qorrfc_service *service = console_service;
  if (service) service->handle_control(SERVICE_CONTROL_STOP);
  return 1;
}
#endif

}  // namespace

#if defined (ACE_WIN32)
ACE_NT_SERVICE_DEFINE(service, nt_qorrfc_service, ACE_TEXT("NT QOR RFC Service"))

// The shutdown control reaches only a service that says it accepts it.
nt_qorrfc_service::nt_qorrfc_service()
    : ACE_NT_Service(ACE_NT_SERVICE_START_TIMEOUT, SERVICE_WIN32_OWN_PROCESS,
                     SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN),
      options_(*QORRFC_NT_OPTIONS::instance()) {}

nt_qorrfc_service::nt_qorrfc_service(qorrfc_nt::Platform_Options &options)
    : ACE_NT_Service(ACE_NT_SERVICE_START_TIMEOUT, SERVICE_WIN32_OWN_PROCESS,
                     SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN),
      options_(options) {}

int nt_qorrfc_service::run_dispatcher() {
  ACE_NT_SERVICE_RUN(service, this, started);
  return started ? 0 : -1;
}

std::string nt_qorrfc_service::system_reason() {
  DWORD code = GetLastError();
  if (code == ERROR_SUCCESS) return "";
  char text[512] = "";
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, text, sizeof text, nullptr);
  std::string reason(text, n);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
  return reason.empty() ? "system error " + std::to_string(code) : reason;
}
#else
nt_qorrfc_service::nt_qorrfc_service() : options_(*QORRFC_NT_OPTIONS::instance()) {}

nt_qorrfc_service::nt_qorrfc_service(qorrfc_nt::Platform_Options &options)
    : options_(options) {}

int nt_qorrfc_service::run_dispatcher() {
  return Qorrfc_Service_Manager::instance()->run_dispatcher(this);
}

// The stand-in's requests fail for one reason only: the service's state.
std::string nt_qorrfc_service::system_reason() { return ""; }
#endif

void nt_qorrfc_service::log_failure(const char *request) {
  std::string reason = system_reason();
  ACE_ERROR((LM_ERROR, "%s", request));
  if (!reason.empty()) ACE_ERROR((LM_ERROR, "  %s\n", reason.c_str()));
}

int nt_qorrfc_service::dispatch(int argc, char *argv[]) {
  options_.parse_args(argc, argv);
  options_.apply_debug_level();
  name(options_.name(), options_.display_name());
  if (options_.install() && !options_.remove()) {
    if (insert(static_cast<DWORD>(options_.startup_type())) == 0) return options_.set_registry();
    log_failure("ERROR installing service.\n");
    return -1;
  }
  if (options_.remove() && !options_.install()) {
    if (remove() == 0) return 0;
    log_failure("ERROR removing service.\n");
    return -1;
  }
  if (options_.start() && options_.kill()) options_.usage();
  if (options_.start()) {
    if (start_svc() == 0) return 0;
    log_failure("ERROR starting service.\n");
    return -1;
  }
  if (options_.kill()) {
    if (stop_svc() == 0) return 0;
    log_failure("ERROR stopping service.\n");
    return -1;
  }
  if (options_.set_startup()) {
    if (startup(static_cast<DWORD>(options_.startup_type())) == 0) return 0;
    log_failure("ERROR changing the startup type of the service.\n");
    return -1;
  }
  if (options_.debug_level() >= 1) {
    console_service = this;
#if defined (ACE_WIN32)
    SetConsoleCtrlHandler(&console_event, TRUE);
#else
    Qorrfc_Service_Manager::instance()->console_handler(&console_event);
#endif
    int result = svc();
    console_service = nullptr;
    return result;
  }
  if (run_dispatcher() == 0) return 0;
  ACE_ERROR((LM_ERROR, "%p\n", "Couldn't start service"));
  return -1;
}

int nt_qorrfc_service::init(int argc, ACE_TCHAR *argv[]) {
  if (argc == 1) {
    options_.name(ACE_TEXT_ALWAYS_CHAR(argv[0]));
    name(argv[0], ACE_TEXT_CHAR_TO_TCHAR(options_.display_name()));
  }
  return 0;
}

int nt_qorrfc_service::svc() {
  if (options_.debug_level() == 0 && report_status(SERVICE_RUNNING) == 0) {
    // A select reactor runs its event loop only on its owner's thread.
    ACE_Reactor::instance()->owner(ACE_Thread::self());
    qorrfc_service::use_syslog(options_.name());
    std::string stored;
    if (options_.get_registry(stored) == 0) {
      ACE_ARGV words(stored.c_str(), false);
      options_.parse_args(words.argc(), words.argv(), 0);
    }
  }
  int result = qorrfc_service::serve(options_);
  qorrfc_service::delete_logging_strategy();
  return result;
}

void nt_qorrfc_service::handle_control(DWORD control_code) {
  if (control_code != SERVICE_CONTROL_STOP && control_code != SERVICE_CONTROL_SHUTDOWN) {
    Qorrfc_Service_Base::handle_control(control_code);
    return;
  }
  // Stopped is reported once svc has returned, not here: the service
  // manager may end the process as soon as it hears it.
  report_status(SERVICE_STOP_PENDING);
  ACE_Reactor::instance()->end_reactor_event_loop();
}

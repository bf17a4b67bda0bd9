// The server as a Windows service: the command dispatcher that installs,
// removes, starts, stops or runs it, and the service itself, whose svc
// runs the same server object as the Unix daemon. On other platforms the
// same code runs against the stand-in service manager and registry.
#pragma once

#include <ace/Singleton.h>
#include <ace/Synch_Traits.h>

#if defined (ACE_WIN32)
#include <ace/NT_Service.h>
typedef ACE_NT_Service Qorrfc_Service_Base;
#else
#include "qorrfc_managed_service.h"
typedef Qorrfc_Managed_Service Qorrfc_Service_Base;
#endif

#include <string>

#include "nt_qorrfc_service_options.h"

class nt_qorrfc_service : public Qorrfc_Service_Base {
 public:
  // With the process-wide settings, or with the given ones.
  nt_qorrfc_service();
  explicit nt_qorrfc_service(qorrfc_nt::Platform_Options &options);

  // What the program does with its command line: a request to the service
  // manager, a foreground server (-d), or the service manager's dispatcher.
  int dispatch(int argc, char *argv[]);

  // Runs at the service entry point with the service manager's arguments.
  int init(int argc, ACE_TCHAR *argv[]) override;
  // Runs on the service thread (on the main thread in the foreground): the
  // registry's options, then the server until a stop request.
  int svc() override;
  // Runs on the service manager's thread for each control request.
  void handle_control(DWORD control_code) override;

 private:
  // Hands the process to the service manager's dispatcher; 0 or -1.
  int run_dispatcher();
  // Logs the failed request, then the system's reason for it when it
  // gave one: an administrator must learn why, not only what.
  void log_failure(const char *request);
  // The system's text for the failure of the call just made, or "".
  static std::string system_reason();

  qorrfc_nt::Platform_Options &options_;
};

typedef ACE_Singleton<nt_qorrfc_service, ACE_SYNCH_MUTEX> NT_QORRFC_SERVICE;

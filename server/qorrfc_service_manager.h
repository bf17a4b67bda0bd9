// A stand-in for the Windows service control manager, for platforms that
// have none: it keeps the installed services (display name, startup type)
// in the registry stand-in as Windows does, and runs a started service in
// this process: the service's program runs on a thread of its own, as if
// just launched, and its dispatcher call runs the service there. Controls
// reach the running service's handle_control on the caller's thread.
#pragma once

#include "qorrfc_managed_service.h"

#if !defined (ACE_WIN32)

#include <ace/Condition_Thread_Mutex.h>
#include <ace/Thread_Mutex.h>

#include <atomic>
#include <map>
#include <string>

class Qorrfc_Service_Manager {
 public:
  // What a started service's process runs; argv holds the program name.
  typedef int (*Program)(int argc, char *argv[]);

  Qorrfc_Service_Manager();
  static Qorrfc_Service_Manager *instance();

  // The program launched for every started service.
  void program(Program program);

  // Service database requests; 0, or -1 when the service is already there
  // (create) or not there (the others).
  int create(const char *name, const char *display_name, DWORD start_type);
  int remove(const char *name);
  int set_startup(const char *name, DWORD start_type);
  // The installed startup type, or 0 for no such service.
  DWORD startup(const char *name);

  // Launches the program for an installed service that is neither
  // disabled nor running, and waits until the service runs or has ended.
  int start(const char *name);
  // Hands the control to the running service; -1 when it is not running.
  int control(const char *name, DWORD code);
  // The last state the service reported; SERVICE_STOPPED when not running.
  DWORD state(const char *name);
  // Waits until the program launched for the service has returned.
  void wait(const char *name);

  // Called by a launched program's dispatcher: runs the service it was
  // launched for on this thread (init with the service name, svc), and
  // reports it stopped. -1 when no start launched this thread.
  int run_dispatcher(Qorrfc_Managed_Service *service);
  // The running service object's state report; -1 for any other object.
  int report(Qorrfc_Managed_Service *service, DWORD state);

  // The console's stand-in: a foreground server's handler for console
  // events, and the delivery of one event to it.
  void console_handler(int (*handler)(DWORD event));
  int console_event(DWORD event);

 private:
  struct Run {
    Qorrfc_Managed_Service *service;
    DWORD state;
    int controls;  // controls under way, which the service object must outlive
  };
  static ACE_THR_FUNC_RETURN launch(void *run_name);
  static std::string key(const char *name);

  Program program_ = nullptr;
  // Set on the server's thread, read on the console's.
  std::atomic<int (*)(DWORD)> console_handler_{nullptr};
  std::map<std::string, Run> runs_;  // by lower-cased service name
  ACE_Thread_Mutex lock_;
  ACE_Condition_Thread_Mutex changed_;
};

#endif  // !ACE_WIN32

// The server object of one run: the listeners, each guarded by a process
// lock named after its port, and the reactor event loop that serves them.
#pragma once

#include <ace/Acceptor.h>
#include <ace/INET_Addr.h>
#include <ace/Process_Mutex.h>
#include <ace/SOCK_Acceptor.h>

#include "qorrfc_acceptor.h"
#include "qorrfc_bcompat_handler.h"
#include "qorrfc_compat_handler.h"
#include "qorrfc_v9_handler.h"

class Options;

class qorrfc_service {
 public:
  // Serves with the process-wide settings, or with the given ones.
  qorrfc_service();
  explicit qorrfc_service(const Options &options) : options_(options) {}
  // Closes the listeners, then gives up the port locks.
  ~qorrfc_service();
  qorrfc_service(const qorrfc_service &) = delete;
  qorrfc_service &operator=(const qorrfc_service &) = delete;

  // Opens the listeners and runs the event loop until a stop signal;
  // 0 after an orderly stop, -1 when a port lock was held elsewhere.
  int run();

  // The whole Unix start-up of the process after the command line was read:
  // the kill request, or daemon, logging, pid file, signal thread and serve.
  static int startup();
  // One run between the "starting" and "stopping" log lines, after which
  // every worker is asked to end; returns the result of run.
  static int serve(const Options &options);
  // Sends the log to the system log under the service name from now on.
  static void use_syslog(const char *name);
  // Xerces-C lives from run until the last worker that may parse has ended.
  static void terminate_xml();
  // Daemon mode's syslog strategy, deleted by main at the very end.
  static void delete_logging_strategy();

 private:
  // A port's lock: 0, or -1 (logged with in_use_text) when another
  // process holds it.
  static int take_lock(int port, const char *in_use_text, ACE_Process_Mutex *&lock, bool &locked);
  // A port's listener, opened once every port's lock is held; a port that
  // cannot be bound is logged and left out.
  template <class ACCEPTOR>
  void open_listener(int port, ACE_INET_Addr *&addr, ACCEPTOR *&acceptor);
  // Reads the settings that come from the environment (see the man page):
  // 0, or -1 (logged) when the server cannot start with them.
  int read_environment();

  const Options &options_;
  // The one address the ports listen on (host order); any by default.
  ACE_UINT32 bind_address_ = INADDR_ANY;
  ACE_INET_Addr *addr_ = nullptr;
  ACE_INET_Addr *compat_addr_ = nullptr;
  ACE_INET_Addr *bcompat_addr_ = nullptr;
  Qorrfc_Acceptor<Qorrfc_V9_Handler> *acceptor_ = nullptr;
  Qorrfc_Acceptor<Qorrfc_Compat_Handler> *compat_acceptor_ = nullptr;
  Qorrfc_Acceptor<Qorrfc_Bcompat_Handler> *bcompat_acceptor_ = nullptr;
  ACE_Process_Mutex *lock_ = nullptr;
  ACE_Process_Mutex *compat_lock_ = nullptr;
  ACE_Process_Mutex *bcompat_lock_ = nullptr;
  bool locked_ = false, compat_locked_ = false, bcompat_locked_ = false;
};

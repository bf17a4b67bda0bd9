// The server object of one run: the listeners, each guarded by a process
// lock named after its port, and the reactor event loop that serves them.
#pragma once

#include <ace/Acceptor.h>
#include <ace/INET_Addr.h>
#include <ace/Process_Mutex.h>
#include <ace/SOCK_Acceptor.h>

#include "qorrfc_bcompat_handler.h"
#include "qorrfc_compat_handler.h"
#include "qorrfc_v9_handler.h"

class qorrfc_service {
 public:
  qorrfc_service() = default;
  // Closes the listeners, then gives up the port locks.
  ~qorrfc_service();
  qorrfc_service(const qorrfc_service &) = delete;
  qorrfc_service &operator=(const qorrfc_service &) = delete;

  // Opens the listeners and runs the event loop until a stop signal;
  // 0 after an orderly stop, -1 when a port lock was held elsewhere.
  int run();

  // The whole start-up of the process after the command line was read:
  // the kill request, or daemon, logging, pid file, signal thread and run.
  static int startup();
  // Xerces-C lives from run until the last worker that may parse has ended.
  static void terminate_xml();
  // Daemon mode's syslog strategy, deleted by main at the very end.
  static void delete_logging_strategy();

 private:
  // A port's lock and listener; the acceptor is made only when the lock
  // was free. Returns 0, or -1 when another process holds the lock.
  template <class ACCEPTOR>
  int open_listener(int port, const char *in_use_text, ACE_INET_Addr *&addr,
                    ACCEPTOR *&acceptor, ACE_Process_Mutex *&lock, bool &locked);

  ACE_INET_Addr *addr_ = nullptr;
  ACE_INET_Addr *compat_addr_ = nullptr;
  ACE_INET_Addr *bcompat_addr_ = nullptr;
  ACE_Acceptor<Qorrfc_V9_Handler, ACE_SOCK_Acceptor> *acceptor_ = nullptr;
  ACE_Acceptor<Qorrfc_Compat_Handler, ACE_SOCK_Acceptor> *compat_acceptor_ = nullptr;
  ACE_Acceptor<Qorrfc_Bcompat_Handler, ACE_SOCK_Acceptor> *bcompat_acceptor_ = nullptr;
  ACE_Process_Mutex *lock_ = nullptr;
  ACE_Process_Mutex *compat_lock_ = nullptr;
  ACE_Process_Mutex *bcompat_lock_ = nullptr;
  bool locked_ = false, compat_locked_ = false, bcompat_locked_ = false;
};

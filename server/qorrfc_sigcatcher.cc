#include "qorrfc_sigcatcher.h"

#include <ace/Log_Msg.h>
#include <ace/OS_NS_Thread.h>
#include <ace/OS_NS_signal.h>
#include <ace/Reactor.h>

#include "qorrfc_worker_pool.h"

int Qorrfc_Sigcatcher::start() {
  return activate(THR_NEW_LWP | THR_DETACHED, 1, 0, ACE_DEFAULT_THREAD_PRIORITY);
}

int Qorrfc_Sigcatcher::svc() {
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) Entering Qorrfc_Sigcatcher::svc\n"));
  sigset_t stop_signals;
  ACE_OS::sigemptyset(&stop_signals);
  ACE_OS::sigaddset(&stop_signals, SIGINT);
  ACE_OS::sigaddset(&stop_signals, SIGQUIT);
  ACE_OS::sigaddset(&stop_signals, SIGTERM);
  int sig = 0;
  if (ACE_OS::sigwait(&stop_signals, &sig) == -1)
    ACE_DEBUG((LM_TRACE, "%D(%P|%t) In Qorrfc_Sigcatcher::svc sigwait gave %m\n"));
  else
    ACE_DEBUG((LM_TRACE, "%D(%P|%t) In Qorrfc_Sigcatcher::svc caught %S\n", sig));
  Qorrfc_Worker_Pool::instance()->stop();
  ACE_Reactor::instance()->end_reactor_event_loop();
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) Leaving Qorrfc_Sigcatcher::svc\n"));
  return 0;
}

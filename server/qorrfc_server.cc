// The program: options, signal mask, start-up, and the wait for every
// thread before the process ends.
#include <ace/OS_NS_Thread.h>
#include <ace/OS_NS_signal.h>
#include <ace/OS_NS_stdlib.h>
#include <ace/Reactor.h>
#include <ace/Thread_Manager.h>

#include "qorrfc_service.h"
#include "unix_qorrfc_service_options.h"

int main(int argc, char *argv[]) {
  Platform_Options *options = qorrfc_options();
  options->parse_args(argc, argv);
  options->apply_debug_level();
  if (ACE_OS::getenv("QORRFC_SLEEP") == nullptr) {
    // Threads inherit this mask, so only the signal thread's sigwait
    // ever receives a stop signal.
    sigset_t stop_signals;
    ACE_OS::sigemptyset(&stop_signals);
    ACE_OS::sigaddset(&stop_signals, SIGINT);
    ACE_OS::sigaddset(&stop_signals, SIGQUIT);
    ACE_OS::sigaddset(&stop_signals, SIGTERM);
    ACE_OS::pthread_sigmask(SIG_SETMASK, &stop_signals, nullptr);
    // An ignored signal is discarded before sigwait could see it, and a
    // shell starting us in the background ignores SIGINT and SIGQUIT.
    ACE_OS::signal(SIGINT, SIG_DFL);
    ACE_OS::signal(SIGQUIT, SIG_DFL);
    ACE_OS::signal(SIGTERM, SIG_DFL);
  }
  qorrfc_service::startup();
  ACE_Thread_Manager::instance()->wait();
  // Connections whose worker ended while the reactor was to take them off
  // are closed now, while everything their handlers use still exists.
  ACE_Reactor::instance()->close();
  qorrfc_service::terminate_xml();
  qorrfc_service::delete_logging_strategy();
  return 0;
}

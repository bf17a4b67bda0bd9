// The thread that receives the stop signals. Every other thread has
// SIGINT, SIGQUIT and SIGTERM blocked, so they only ever reach its sigwait.
#pragma once

#include <ace/Singleton.h>
#include <ace/Synch_Traits.h>
#include <ace/Task.h>

class Qorrfc_Sigcatcher : public ACE_Task_Base {
 public:
  // Starts the detached signal thread in a thread group of its own.
  int start();
  // Runs on the signal thread: waits for the first stop signal, then asks
  // every thread to stop and ends the reactor's event loop.
  int svc() override;
};

typedef ACE_Singleton<Qorrfc_Sigcatcher, ACE_SYNCH_MUTEX> QORRFC_SIGCATCHER;

// A listener and reactor thread inside the test process, serving a
// handler class of the test's choice, so that what a handler does with
// each request can be observed directly. The reactor and the listener
// (with its own accepting thread) are the server's own kinds.
#pragma once

#include <ace/INET_Addr.h>
#include <ace/Log_Msg.h>
#include <ace/Reactor.h>
#include <ace/Task.h>
#include <ace/Thread_Manager.h>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "loopback.h"
#include "qorrfc_acceptor.h"
#include "qorrfc_handler_registry.h"
#include "qorrfc_reactor.h"
#include "qorrfc_worker_pool.h"
#include "wait_until.h"

namespace qtest {

template <class HANDLER>
class InProcessServer : public ACE_Task_Base {
 public:
  InProcessServer() : reactor_(Qorrfc_Reactor::make()), port_(free_port()) {
    ACE_LOG_MSG->priority_mask(LM_ERROR | LM_CRITICAL | LM_ALERT | LM_EMERGENCY,
                               ACE_Log_Msg::PROCESS);
    ACE_INET_Addr addr(static_cast<u_short>(port_), "127.0.0.1");
    EXPECT_EQ(acceptor_.listen(addr, reactor_.get()), 0);
    activate(THR_NEW_LWP | THR_JOINABLE);
  }
  // Stops listening, waits until every connection's worker has ended,
  // then ends the reactor thread.
  ~InProcessServer() override {
    acceptor_.stop();
    EXPECT_TRUE(wait_for_workers(std::chrono::seconds(10)));
    reactor_->end_reactor_event_loop();
    wait();
  }

  int port() const { return port_; }

  // True when every worker has finished with its connection and only the
  // reactor thread and the listener's are left (threads waiting for a
  // connection are ended; once stop has ended the listener's, only the
  // reactor thread).
  bool wait_for_workers(std::chrono::milliseconds timeout) {
    return wait_until(
        [] {
          if (Qorrfc_Worker_Pool::instance()->busy() != 0) return false;
          Qorrfc_Worker_Pool::instance()->retire_parked();
          return ACE_Thread_Manager::instance()->count_threads() <= 2;
        },
        timeout);
  }

  int svc() override {
    reactor_->owner(ACE_Thread::self());
    reactor_->run_reactor_event_loop();
    return 0;
  }

 private:
  std::unique_ptr<ACE_Reactor> reactor_;
  int port_;
  Qorrfc_Acceptor<HANDLER> acceptor_;
};

// Waits until the handle is no longer registered.
inline bool wait_unregistered(const std::string &handle, std::chrono::milliseconds timeout) {
  return wait_until([&] { return !Qorrfc_Handler_Registry::instance()->find(handle.c_str()); },
                    timeout);
}

}  // namespace qtest

#include "qorrfc_worker_pool.h"

#include <ace/Guard_T.h>
#include <ace/OS_NS_sys_time.h>
#include <ace/Thread_Manager.h>

#include <algorithm>

#include "qorrfc_base_handler.h"

Qorrfc_Worker_Pool *Qorrfc_Worker_Pool::instance() {
  // Never deleted: a thread may still wait on it while the process exits.
  static Qorrfc_Worker_Pool *pool = new Qorrfc_Worker_Pool;
  return pool;
}

int Qorrfc_Worker_Pool::run(Qorrfc_Base_Handler *handler, size_t stack_size,
                            const std::function<void()> &first) {
  ++busy_;
  Parked *waiting = nullptr;
  {
    ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, lock_, -1);
    if (!parked_.empty()) {
      waiting = parked_.back();
      parked_.pop_back();
      waiting->handler = handler;
    }
  }
  if (waiting != nullptr) {
    first();
    waiting->ready.signal();
    return 0;
  }
  // The server's wait at its end covers these threads: they are the
  // thread manager's.
  Start *start = new Start{this, handler};
  if (ACE_Thread_Manager::instance()->spawn(thread_main, start, THR_NEW_LWP | THR_DETACHED,
                                            nullptr, nullptr, ACE_DEFAULT_THREAD_PRIORITY, -1,
                                            nullptr, stack_size) == -1) {
    delete start;
    --busy_;
    return -1;
  }
  first();
  return 0;
}

ACE_THR_FUNC_RETURN Qorrfc_Worker_Pool::thread_main(void *arg) {
  Start *start = static_cast<Start *>(arg);
  Qorrfc_Worker_Pool *pool = start->pool;
  Qorrfc_Base_Handler *handler = start->handler;
  delete start;
  Parked self(pool->lock_);
  while (handler != nullptr) {
    handler->run_worker();
    --pool->busy_;
    handler = pool->wait_for_next(self);
  }
  return 0;
}

Qorrfc_Base_Handler *Qorrfc_Worker_Pool::wait_for_next(Parked &self) {
  ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, lock_, nullptr);
  long seconds = park_seconds_;
  if (stopping_ || seconds <= 0 || parked_.size() >= MAX_PARKED) return nullptr;
  self.handler = nullptr;
  self.retire = false;
  parked_.push_back(&self);
  ACE_Time_Value until = ACE_OS::gettimeofday() + ACE_Time_Value(seconds);
  while (self.handler == nullptr && !self.retire) {
    if (self.ready.wait(&until) == -1) break;  // waited long enough
  }
  if (self.handler == nullptr) {
    // Still listed unless a hand-over or a retirement took it off.
    auto at = std::find(parked_.begin(), parked_.end(), &self);
    if (at != parked_.end()) parked_.erase(at);
  }
  return self.handler;
}

void Qorrfc_Worker_Pool::stop() {
  ACE_GUARD(ACE_Thread_Mutex, guard, lock_);
  stopping_ = true;
  retire_all_locked();
}

void Qorrfc_Worker_Pool::retire_parked() {
  ACE_GUARD(ACE_Thread_Mutex, guard, lock_);
  retire_all_locked();
}

void Qorrfc_Worker_Pool::retire_all_locked() {
  for (Parked *waiting : parked_) {
    waiting->retire = true;
    waiting->ready.signal();
  }
  parked_.clear();
}

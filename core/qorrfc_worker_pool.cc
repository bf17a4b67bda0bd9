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
  bool given = false;
  {
    ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, lock_, -1);
    if (!parked_.empty()) {
      Slot *waiting = parked_.back();
      parked_.pop_back();
      waiting->handler = handler;
      handler->worker_slot_ = waiting;
      handler->worker_woken_ = false;
      given = true;
    }
  }
  if (given) {
    first();
    // A block queued, or a cancel, before the thread was given: no wake
    // came for it.
    if (!handler->msg_queue()->is_empty() || handler->cancelled()) wake(handler);
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

void Qorrfc_Worker_Pool::wake(Qorrfc_Base_Handler *handler) {
  if (handler->worker_woken_) return;
  Slot *signal = nullptr;
  {
    ACE_GUARD(ACE_Thread_Mutex, guard, lock_);
    signal = wake_locked(handler);
  }
  // After letting go of the lock, which the woken thread wants at once.
  // Slots are never freed; a thread that has meanwhile started by itself
  // takes the signal as a spurious one.
  if (signal != nullptr) signal->ready.signal();
}

Qorrfc_Worker_Pool::Slot *Qorrfc_Worker_Pool::wake_locked(Qorrfc_Base_Handler *handler) {
  if (handler->worker_woken_) return nullptr;
  handler->worker_woken_ = true;
  return handler->worker_slot_;
}

bool Qorrfc_Worker_Pool::take_back(Qorrfc_Base_Handler *handler) {
  Slot *retired = nullptr;
  {
    ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, lock_, false);
    Slot *slot = handler->worker_slot_;
    if (handler->worker_woken_ || slot == nullptr || slot->handler != handler) return false;
    handler->worker_woken_ = true;  // later wake-ups find nothing to do
    slot->handler = nullptr;
    --busy_;
    if (stopping_ || parked_.size() >= MAX_PARKED) {
      slot->retire = true;
      retired = slot;
    } else {
      parked_.push_back(slot);  // its wait goes on to the same deadline
    }
  }
  if (retired != nullptr) retired->ready.signal();
  return true;
}

ACE_THR_FUNC_RETURN Qorrfc_Worker_Pool::thread_main(void *arg) {
  Start *start = static_cast<Start *>(arg);
  Qorrfc_Worker_Pool *pool = start->pool;
  Qorrfc_Base_Handler *handler = start->handler;
  delete start;
  Slot *self = pool->take_slot();
  while (handler != nullptr) {
    handler->run_worker();
    --pool->busy_;
    handler = pool->wait_for_next(*self);
  }
  return 0;
}

Qorrfc_Worker_Pool::Slot *Qorrfc_Worker_Pool::take_slot() {
  ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, lock_, nullptr);
  if (!free_slots_.empty()) {
    Slot *slot = free_slots_.back();
    free_slots_.pop_back();
    return slot;
  }
  slots_.emplace_back(new Slot(lock_));
  return slots_.back().get();
}

Qorrfc_Base_Handler *Qorrfc_Worker_Pool::wait_for_next(Slot &self) {
  ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, lock_, nullptr);
  long seconds = park_seconds_;
  if (stopping_ || seconds <= 0 || parked_.size() >= MAX_PARKED) {
    free_slots_.push_back(&self);
    return nullptr;
  }
  self.handler = nullptr;
  self.retire = false;
  parked_.push_back(&self);
  ACE_Time_Value until = ACE_OS::gettimeofday() + ACE_Time_Value(seconds);
  for (;;) {
    Qorrfc_Base_Handler *given = self.handler;
    if (given != nullptr && given->worker_woken_) break;
    if (given == nullptr && self.retire) break;
    if (self.ready.wait(&until) == -1) {
      // Waited long enough. A connection given but not woken for starts
      // its worker now all the same.
      if (self.handler != nullptr) wake_locked(self.handler);
      break;
    }
  }
  Qorrfc_Base_Handler *next = self.handler;
  self.handler = nullptr;
  if (next == nullptr) {
    // Still listed unless a retirement took it off.
    auto at = std::find(parked_.begin(), parked_.end(), &self);
    if (at != parked_.end()) parked_.erase(at);
    free_slots_.push_back(&self);
  }
  return next;
}

void Qorrfc_Worker_Pool::stop() {
  std::vector<Slot *> given;
  {
    ACE_GUARD(ACE_Thread_Mutex, guard, lock_);
    stopping_ = true;
    retire_all_locked();
    // Threads given a connection and not yet woken start its worker, which
    // then ends at its first look at the stop.
    for (const auto &slot : slots_)
      if (slot->handler != nullptr && wake_locked(slot->handler) != nullptr) given.push_back(slot.get());
  }
  for (Slot *slot : given) slot->ready.signal();
}

void Qorrfc_Worker_Pool::retire_parked() {
  ACE_GUARD(ACE_Thread_Mutex, guard, lock_);
  retire_all_locked();
}

void Qorrfc_Worker_Pool::retire_all_locked() {
  for (Slot *waiting : parked_) {
    waiting->retire = true;
    waiting->ready.signal();
  }
  parked_.clear();
}

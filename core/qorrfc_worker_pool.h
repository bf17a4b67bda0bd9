// The threads that run connections' workers. Each connection still has a
// thread of its own while it lasts; a thread whose connection has ended
// waits a while for the next one before it ends, because starting and
// ending a thread costs more than all else an accept takes, and clients
// that open many short connections would pay that each time.
//
// A waiting thread given a new connection is woken only when the worker
// has something to do: the first block queued for it (the client's first
// bytes, or the end of its connection), a cancel, or the server's stop.
// Until then the worker would only wait, and each wake-up costs two
// thread switches. A thread not woken starts its worker after the waiting
// time all the same.
#pragma once

#include <ace/Condition_Thread_Mutex.h>
#include <ace/Thread_Mutex.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

class Qorrfc_Base_Handler;

class Qorrfc_Worker_Pool {
 public:
  enum { DEFAULT_PARK_SECONDS = 2, MAX_PARKED = 64 };
  struct Slot;

  static Qorrfc_Worker_Pool *instance();

  // Called by a connection that is opening: its worker (run_worker) on a
  // waiting thread, or on a new one with stack_size bytes of stack; -1
  // (errno set) when no thread could be started. Once the thread is
  // certain, first() runs on the calling thread.
  int run(Qorrfc_Base_Handler *handler, size_t stack_size, const std::function<void()> &first);
  // Any thread, when the handler's worker has something to do: wakes the
  // waiting thread it was given to. Costs one atomic load once woken.
  void wake(Qorrfc_Base_Handler *handler);
  // Called by the reactor thread at the end of a connection whose thread
  // has not been woken: takes the connection back, so that the thread
  // goes on waiting as if it had never been given one, and the caller
  // ends the connection itself. false when the thread has been woken.
  bool take_back(Qorrfc_Base_Handler *handler);
  // The server's stop: waiting threads end now, threads whose connection
  // ends later end with it, and every worker's cancelled() is true.
  void stop();
  bool stopping() const { return stopping_; }
  // Waiting threads without a connection end now; later ones wait again
  // (tests, to count threads).
  void retire_parked();
  // How long a thread waits for its next connection; 0 ends it at once.
  void park_seconds(long seconds) { park_seconds_ = seconds; }
  long park_seconds() const { return park_seconds_; }
  // Workers that have a connection and have not yet finished with it.
  long busy() const { return busy_; }

 private:
  struct Start {
    Qorrfc_Worker_Pool *pool;
    Qorrfc_Base_Handler *handler;
  };

  static ACE_THR_FUNC_RETURN thread_main(void *start);
  // The next connection for the calling thread, nullptr when it is to end
  // (its slot is then free for another thread).
  Qorrfc_Base_Handler *wait_for_next(Slot &self);
  Slot *take_slot();
  // Marks handler's thread woken; the slot to signal, nullptr when it was.
  Slot *wake_locked(Qorrfc_Base_Handler *handler);
  void retire_all_locked();

  ACE_Thread_Mutex lock_;
  // Every slot there has been; a slot outlives its thread, so that a
  // late wake-up never meets freed memory.
  std::vector<std::unique_ptr<Slot>> slots_;
  std::vector<Slot *> free_slots_;
  std::vector<Slot *> parked_;  // waiting without a connection, the latest last
  std::atomic<bool> stopping_{false};
  std::atomic<long> park_seconds_{DEFAULT_PARK_SECONDS};
  std::atomic<long> busy_{0};
};

// A thread's place to wait for a connection, with its own condition so
// that a hand-over wakes only the thread it is for.
struct Qorrfc_Worker_Pool::Slot {
  explicit Slot(ACE_Thread_Mutex &lock) : ready(lock) {}
  ACE_Condition_Thread_Mutex ready;
  Qorrfc_Base_Handler *handler = nullptr;  // given, not yet started
  bool retire = false;
};

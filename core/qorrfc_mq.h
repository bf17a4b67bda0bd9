// Keyed data queues: one thread hands a short text (a connection's handle)
// to another that waits for it, e.g. a request connection telling the
// gateway thread which data connection a background job belongs to.
// Queues are created on first use and live until the process ends.
#pragma once

#include <ace/Atomic_Op.h>
#include <ace/Hash_Map_Manager_T.h>
#include <ace/Condition_Thread_Mutex.h>
#include <ace/Message_Queue.h>
#include <ace/Synch.h>
#include <ace/Null_Mutex.h>
#include <ace/Recursive_Thread_Mutex.h>
#include <ace/SString.h>
#include <ace/Synch_Traits.h>
#include <ace/Thread_Mutex.h>

#include <chrono>

class Qorrfc_MQ : public ACE_Message_Queue<ACE_MT_SYNCH> {
 public:
  Qorrfc_MQ();

  // Takes the block over text (the pointer that was queued) out of the
  // queue, keeping the others in order: 1 when it was there, else 0.
  int remove_text(const char *text);

  // Servers registered at the gateway under this queue's key.
  ACE_Atomic_Op<ACE_Thread_Mutex, long> reg_count_;
  // Held while the key's registration state is examined and changed.
  ACE_Thread_Mutex lock_;
  // When this server last closed a registration under the key: for a
  // moment after, the gateway may still count it.
  std::chrono::steady_clock::time_point last_close_{};
};

class Qorrfc_MQ_Registry {
 public:
  static Qorrfc_MQ_Registry *instance();
  Qorrfc_MQ_Registry();
  ~Qorrfc_MQ_Registry();

  // Finds or creates the queue of key. Without text: 0 created, 1 existed,
  // -1 failure. With text: appends a block over text (not copied: it must
  // stay valid until taken) and returns the append's result.
  int put(const char *key, const char *text, Qorrfc_MQ **queue = nullptr);
  // The oldest text queued under key, waiting until there is one; "" at
  // once when the key has no queue, and when the waiting thread is
  // cancelled (the server stops or its connection ends).
  const char *get(const char *key);
  // mine when it is still queued under key (taken out, the others keep
  // their order), else what get gives.
  const char *take(const char *key, const char *mine);
  // Takes text out of key's queue when nobody has taken it yet: a request
  // whose job never asked for it must not leave it behind.
  int remove(const char *key, const char *text);
  // The queue of key (and its lock), or null.
  Qorrfc_MQ *find(const char *key, ACE_Thread_Mutex **lock);

 private:
  typedef ACE_Hash_Map_Manager_Ex<ACE_CString, Qorrfc_MQ *, ACE_Hash<ACE_CString>,
                                  ACE_Equal_To<ACE_CString>, ACE_Null_Mutex>
      Map;
  Qorrfc_MQ *lookup(const char *key);

  ACE_Recursive_Thread_Mutex lock_;
  Map map_;
};

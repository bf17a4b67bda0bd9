#include "qorrfc_mq.h"

#include <ace/Guard_T.h>
#include <ace/OS_NS_sys_time.h>
#include <ace/Singleton.h>

#include <cerrno>

#include <vector>

#include "qorrfc_base_handler.h"

Qorrfc_MQ::Qorrfc_MQ() : ACE_Message_Queue<ACE_MT_SYNCH>(16384, 16384), reg_count_(0) {}

int Qorrfc_MQ::remove_text(const char *text) {
  typedef ACE_Message_Queue<ACE_MT_SYNCH> Base;
  ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, Base::lock_, 0);
  std::vector<ACE_Message_Block *> before;
  int found = 0;
  while (!found && !is_empty_i()) {
    ACE_Message_Block *block = nullptr;
    if (dequeue_head_i(block) == -1) break;
    if (block->rd_ptr() == text) {
      block->release();
      found = 1;
    } else {
      before.push_back(block);
    }
  }
  for (auto it = before.rbegin(); it != before.rend(); ++it) enqueue_head_i(*it);
  return found;
}

Qorrfc_MQ_Registry *Qorrfc_MQ_Registry::instance() {
  return ACE_Singleton<Qorrfc_MQ_Registry, ACE_Thread_Mutex>::instance();
}

Qorrfc_MQ_Registry::Qorrfc_MQ_Registry() : map_(1024) {}

Qorrfc_MQ_Registry::~Qorrfc_MQ_Registry() {
  for (Map::iterator it = map_.begin(); it != map_.end(); ++it) delete (*it).int_id_;
}

Qorrfc_MQ *Qorrfc_MQ_Registry::lookup(const char *key) {
  Qorrfc_MQ *queue = nullptr;
  return map_.find(ACE_CString(key), queue) == 0 ? queue : nullptr;
}

int Qorrfc_MQ_Registry::put(const char *key, const char *text, Qorrfc_MQ **queue_out) {
  Qorrfc_MQ *queue;
  int result;
  {
    ACE_GUARD_RETURN(ACE_Recursive_Thread_Mutex, guard, lock_, -1);
    queue = lookup(key);
    result = 1;
    if (queue == nullptr) {
      queue = new Qorrfc_MQ;
      if (map_.bind(ACE_CString(key), queue) == -1) {
        delete queue;
        return -1;
      }
      result = 0;
    }
  }
  if (queue_out) *queue_out = queue;
  if (text == nullptr) return result;
  // Appended outside the registry lock: a full queue blocks only this
  // caller, not the taker that needs the lock to find the queue.
  ACE_Message_Block *block = new ACE_Message_Block(text, ACE_OS::strlen(text));
  block->wr_ptr(block->size());
  result = queue->enqueue_tail(block);
  if (result == -1) block->release();
  return result;
}

const char *Qorrfc_MQ_Registry::get(const char *key) {
  Qorrfc_MQ *queue;
  {
    ACE_GUARD_RETURN(ACE_Recursive_Thread_Mutex, guard, lock_, "");
    queue = lookup(key);
  }
  if (queue == nullptr) return "";
  // Waits in one-second steps, so that a stop (which cancels the waiting
  // thread) is not held up by a text that will never come.
  ACE_Message_Block *block = nullptr;
  for (;;) {
    ACE_Time_Value until = ACE_OS::gettimeofday() + ACE_Time_Value(1);
    if (queue->dequeue_head(block, &until) != -1) break;
    if (errno != EWOULDBLOCK) return "";
    if (Qorrfc_Base_Handler::worker_cancelled()) return "";
  }
  const char *text = block->rd_ptr();
  block->release();
  return text;
}

const char *Qorrfc_MQ_Registry::take(const char *key, const char *mine) {
  if (mine && remove(key, mine) == 1) return mine;
  return get(key);
}

int Qorrfc_MQ_Registry::remove(const char *key, const char *text) {
  Qorrfc_MQ *queue;
  {
    ACE_GUARD_RETURN(ACE_Recursive_Thread_Mutex, guard, lock_, 0);
    queue = lookup(key);
  }
  return queue ? queue->remove_text(text) : 0;
}

Qorrfc_MQ *Qorrfc_MQ_Registry::find(const char *key, ACE_Thread_Mutex **lock) {
  ACE_GUARD_RETURN(ACE_Recursive_Thread_Mutex, guard, lock_, nullptr);
  Qorrfc_MQ *queue = lookup(key);
  if (queue && lock) *lock = &queue->lock_;
  return queue;
}

#include "qorrfc_refusal_log.h"

#include <ace/Guard_T.h>
#include <ace/Log_Msg.h>

Qorrfc_Refusal_Log *Qorrfc_Refusal_Log::instance() {
  static Qorrfc_Refusal_Log log;
  return &log;
}

void Qorrfc_Refusal_Log::refused(const char *why) {
  ++total_;
  ACE_GUARD(ACE_Thread_Mutex, guard, lock_);
  ++episode_;
  // Another shortage than the one already told is news as well.
  if (refusing_ && why_ == why) return;
  refusing_ = true;
  why_ = why;
  ACE_ERROR((LM_ERROR, "%D(%P|%t) Refusing new connections: %s\n", why));
}

void Qorrfc_Refusal_Log::accepted() {
  if (!refusing_) return;
  ACE_GUARD(ACE_Thread_Mutex, guard, lock_);
  if (!refusing_) return;
  refusing_ = false;
  why_.clear();
  ACE_DEBUG((LM_INFO, "%D(%P|%t) Accepting connections again; %d refused meanwhile\n",
             static_cast<int>(episode_)));
  episode_ = 0;
}

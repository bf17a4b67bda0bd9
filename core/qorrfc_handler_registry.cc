#include "qorrfc_handler_registry.h"

#include <ace/Guard_T.h>
#include <ace/Singleton.h>
#include <ace/Thread_Mutex.h>

#include "qorrfc_base_handler.h"

Qorrfc_Handler_Ref::Qorrfc_Handler_Ref(Qorrfc_Base_Handler *handler) : handler_(handler) {
  if (handler_) handler_->add_ref();
}

Qorrfc_Handler_Ref::Qorrfc_Handler_Ref(const Qorrfc_Handler_Ref &other)
    : Qorrfc_Handler_Ref(other.handler_) {}

Qorrfc_Handler_Ref &Qorrfc_Handler_Ref::operator=(const Qorrfc_Handler_Ref &other) {
  Qorrfc_Handler_Ref copy(other);
  return *this = std::move(copy);
}

Qorrfc_Handler_Ref &Qorrfc_Handler_Ref::operator=(Qorrfc_Handler_Ref &&other) noexcept {
  if (this != &other) {
    reset();
    handler_ = other.handler_;
    other.handler_ = nullptr;
  }
  return *this;
}

void Qorrfc_Handler_Ref::reset() {
  Qorrfc_Base_Handler *handler = handler_;
  handler_ = nullptr;
  if (handler) handler->remove_ref();
}

Qorrfc_Handler_Registry *Qorrfc_Handler_Registry::instance() {
  return ACE_Singleton<Qorrfc_Handler_Registry, ACE_Thread_Mutex>::instance();
}

Qorrfc_Handler_Registry::Qorrfc_Handler_Registry() : map_(1024) {}

int Qorrfc_Handler_Registry::bind(const char *key, Qorrfc_Base_Handler *handler) {
  ACE_WRITE_GUARD_RETURN(ACE_RW_Thread_Mutex, guard, lock_, -1);
  int result = map_.bind(ACE_CString(key), handler);
  if (result == 0) ++handler->registry_keys_;
  return result;
}

int Qorrfc_Handler_Registry::unbind(const char *key) {
  ACE_WRITE_GUARD_RETURN(ACE_RW_Thread_Mutex, guard, lock_, -1);
  Qorrfc_Base_Handler *handler = nullptr;
  if (map_.unbind(ACE_CString(key), handler) == -1) return -1;
  --handler->registry_keys_;
  return 0;
}

Qorrfc_Handler_Ref Qorrfc_Handler_Registry::find(const char *key) {
  if (key == nullptr || *key == '\0') return Qorrfc_Handler_Ref();
  ACE_READ_GUARD_RETURN(ACE_RW_Thread_Mutex, guard, lock_, Qorrfc_Handler_Ref());
  Qorrfc_Base_Handler *handler = nullptr;
  if (map_.find(ACE_CString(key), handler) == -1) return Qorrfc_Handler_Ref();
  return Qorrfc_Handler_Ref(handler);
}

void Qorrfc_Handler_Registry::unbind_all(Qorrfc_Base_Handler *handler) {
  ACE_WRITE_GUARD(ACE_RW_Thread_Mutex, guard, lock_);
  if (handler->registry_keys_ == 0) return;
  Qorrfc_Base_Handler *bound = nullptr;
  ACE_CString own(handler->handle());
  if (map_.find(own, bound) == 0 && bound == handler) {
    map_.unbind(own);
    --handler->registry_keys_;
  }
  // Job keys are rare; sweep only when the handler still has some (the
  // sweep's start alone walks the whole table).
  if (handler->registry_keys_ == 0) return;
  for (Map::iterator it = map_.begin(); handler->registry_keys_ > 0 && it != map_.end();) {
    Map::iterator entry = it++;
    if ((*entry).int_id_ == handler) {
      map_.unbind(&*entry);
      --handler->registry_keys_;
    }
  }
}

size_t Qorrfc_Handler_Registry::size() {
  ACE_READ_GUARD_RETURN(ACE_RW_Thread_Mutex, guard, lock_, 0);
  return map_.current_size();
}

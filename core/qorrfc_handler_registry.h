// Maps handle texts (and the job keys of batch jobs) to connection
// handlers, byte for byte, under a read-write lock. The map owns nothing;
// a look-up hands out a counted reference taken under the lock, so the
// handler cannot be deleted between the look-up and its use.
#pragma once

#include <ace/Hash_Map_Manager_T.h>
#include <ace/Null_Mutex.h>
#include <ace/RW_Thread_Mutex.h>
#include <ace/SString.h>

#include "qorrfc_handler_ref.h"

class Qorrfc_Handler_Registry {
 public:
  static Qorrfc_Handler_Registry *instance();
  Qorrfc_Handler_Registry();

  // 0 bound, 1 the key is already bound (nothing changed), -1 failure.
  int bind(const char *key, Qorrfc_Base_Handler *handler);
  // 0 unbound, -1 not bound.
  int unbind(const char *key);
  // The handler bound to key, or an empty reference; an empty or missing
  // key is not looked up.
  Qorrfc_Handler_Ref find(const char *key);
  // Removes every key bound to handler; called when its connection ends so
  // that no key can lead to a handler that is going away.
  void unbind_all(Qorrfc_Base_Handler *handler);
  size_t size();

 private:
  typedef ACE_Hash_Map_Manager_Ex<ACE_CString, Qorrfc_Base_Handler *, ACE_Hash<ACE_CString>,
                                  ACE_Equal_To<ACE_CString>, ACE_Null_Mutex>
      Map;
  ACE_RW_Thread_Mutex lock_;
  Map map_;
};

#include "qorrfc_serial.h"

#include <ace/Guard_T.h>

Qorrfc_Serial *Qorrfc_Serial::instance() {
  return ACE_Singleton<Qorrfc_Serial, ACE_Thread_Mutex>::instance();
}

void Qorrfc_Serial::reset(unsigned short value) {
  ACE_GUARD(ACE_Thread_Mutex, guard, lock_);
  value_ = value;
}

unsigned short Qorrfc_Serial::next() {
  ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, lock_, 0);
  return ++value_;
}

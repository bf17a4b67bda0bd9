// The process-wide 16-bit connection serial number from which handles
// begin; seeded from the process id at start-up, wrapping at 65535.
#pragma once

#include <ace/Singleton.h>
#include <ace/Thread_Mutex.h>

class Qorrfc_Serial {
 public:
  static Qorrfc_Serial *instance();
  void reset(unsigned short value);
  // Increments, then gives the new value.
  unsigned short next();

 private:
  ACE_Thread_Mutex lock_;
  unsigned short value_ = 0;
};

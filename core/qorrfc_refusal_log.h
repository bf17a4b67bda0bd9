// The log of connections the server had to refuse because it ran out of
// descriptors or threads. Under a burst every further client meets the
// same shortage, so the operator hears of it once when refusing starts
// (with the reason) and once when a connection is taken again (with how
// many were turned away meanwhile), not once per client.
#pragma once

#include <ace/Thread_Mutex.h>

#include <atomic>
#include <string>

class Qorrfc_Refusal_Log {
 public:
  static Qorrfc_Refusal_Log *instance();

  // Called for every refused connection; why says what ran out.
  void refused(const char *why);
  // Called for every connection taken; cheap while nothing was refused.
  void accepted();
  // Refused since start-up.
  unsigned long total() const { return total_; }

 private:
  ACE_Thread_Mutex lock_;
  std::atomic<bool> refusing_{false};
  std::atomic<unsigned long> total_{0};
  unsigned long episode_ = 0;  // refused since refusing started; lock_
  std::string why_;            // lock_
};

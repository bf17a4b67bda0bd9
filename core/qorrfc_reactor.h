// The event loop that watches every client connection. On Linux it is
// epoll based: a select loop takes descriptors below 1024 only, and each
// client holds two or more. Elsewhere it stays the select loop.
#pragma once

#include <ace/Reactor.h>

class Qorrfc_Reactor {
 public:
  // A new reactor for up to the process's descriptor limit; made after
  // that limit has been raised. The caller owns it.
  static ACE_Reactor *make();
};

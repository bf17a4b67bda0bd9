#include "qorrfc_reactor.h"

#include <ace/ACE.h>

#if defined (ACE_HAS_EVENT_POLL)
#include <ace/Dev_Poll_Reactor.h>
#else
#include <ace/Select_Reactor.h>
#endif

ACE_Reactor *Qorrfc_Reactor::make() {
#if defined (ACE_HAS_EVENT_POLL)
  // Its handler table is sized once, so it must fit every descriptor the
  // process may open; a wait cut short by a signal starts again. Signals
  // are not masked around each dispatch: the stop signals are blocked in
  // every thread and taken by sigwait, and the two mask changes per
  // dispatch would cost two system calls each time.
  return new ACE_Reactor(new ACE_Dev_Poll_Reactor(static_cast<size_t>(ACE::max_handles()), true,
                                                  nullptr, nullptr, 0, nullptr, 0),
                         true);
#else
  return new ACE_Reactor(new ACE_Select_Reactor, true);
#endif
}

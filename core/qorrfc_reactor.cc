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
  // process may open; a wait cut short by a signal starts again.
  return new ACE_Reactor(new ACE_Dev_Poll_Reactor(static_cast<size_t>(ACE::max_handles()), true),
                         true);
#else
  return new ACE_Reactor(new ACE_Select_Reactor, true);
#endif
}

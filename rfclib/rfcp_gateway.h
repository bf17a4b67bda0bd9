// The gateway of the partner side: programs registered by program id, each
// initialising (registered), ready (waiting for calls) or busy (in a
// conversation), and the routing of a caller to one of them.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>

#include "rfc_error.h"
#include "rfc_socket.h"
#include "saprfc.h"

namespace rfcp {

class Gateway : public std::enable_shared_from_this<Gateway> {
 public:
  // Called on the connection's thread after its REGISTER was accepted.
  void add(const std::string &progid, std::shared_ptr<rfcw::Socket> socket);
  void count(const std::string &progid, int &ninit, int &nready, int &nbusy);
  // A client-role handle on the oldest ready registration (or, when none is
  // ready yet, the oldest one still initialising: its program reads the call
  // once it waits). Registrations whose last caller has just gone are ready
  // again only when their program waits once more; for those it waits a
  // while. RFC_HANDLE_NULL with err when there is none.
  RFC_HANDLE open(const std::string &progid, rfcl::Error &err);
  // Ends every registration; their programs see the connection close.
  void shutdown();

 private:
  // Used: its caller has gone and its program has not yet said it waits
  // again (it may be about to unregister instead): no caller is routed to it.
  enum class State { Init, Ready, Busy, Used };
  struct Registration {
    std::string progid;
    std::shared_ptr<rfcw::Socket> socket;
    State state = State::Init;
  };
  using Entry = std::shared_ptr<Registration>;

  static bool hung_up(const Registration &r);
  // Takes in what idle programs sent (READY, CLOSE, end of connection).
  void refresh(const std::string &progid);
  void release(const Entry &reg, bool clean);
  // The registration a caller of progid gets now, marked busy; also tells
  // whether one may become ready soon. Under mutex_.
  Entry choose(const std::string &progid, bool &coming);
  // choose, waiting for a registration that is coming; nullptr with err.
  Entry wait_choose(const std::string &progid, rfcl::Error &err);

  std::mutex mutex_;
  std::list<Entry> regs_;  // in the order of registration
};

}  // namespace rfcp

// The listener of one port. Beyond ACE's acceptor it keeps one descriptor
// in reserve: when the process is out of descriptors, a pending connection
// would stay in the listen queue for ever and keep the listener readable,
// so the reactor thread would spin on it. The reserve is given up for a
// moment to take that connection, tell its client why it is refused (the
// protocol's own error line) and close it.
#pragma once

#include <ace/Acceptor.h>
#include <ace/OS_NS_fcntl.h>
#include <ace/OS_NS_unistd.h>
#include <ace/SOCK_Acceptor.h>

#include <cerrno>

#include "qorrfc_refusal_log.h"

template <class HANDLER>
class Qorrfc_Acceptor : public ACE_Acceptor<HANDLER, ACE_SOCK_Acceptor> {
 public:
  Qorrfc_Acceptor() { take_reserve(); }
  ~Qorrfc_Acceptor() override {
    if (reserve_ != ACE_INVALID_HANDLE) ACE_OS::close(reserve_);
  }

 protected:
  int accept_svc_handler(HANDLER *handler) override {
    ACE_Reactor *reactor = this->reactor();
    if (reactor == nullptr) {
      errno = EINVAL;
      return -1;
    }
    bool reset = reactor->uses_event_associations();
    if (this->acceptor().accept(handler->peer(), nullptr, nullptr, true, reset) == 0) return 0;
    int error = errno;
    if ((error == EMFILE || error == ENFILE) && reserve_ != ACE_INVALID_HANDLE) {
      ACE_OS::close(reserve_);
      reserve_ = ACE_INVALID_HANDLE;
      if (this->acceptor().accept(handler->peer(), nullptr, nullptr, true, reset) == 0) {
        handler->refuse("out of descriptors");
        handler->peer().close();
      }
      take_reserve();
    }
    handler->close(CLOSE_DURING_NEW_CONNECTION);
    errno = error;
    return -1;
  }

 private:
  void take_reserve() {
#if defined (ACE_WIN32)
    reserve_ = ACE_OS::open("NUL", O_RDONLY);
#else
    reserve_ = ACE_OS::open("/dev/null", O_RDONLY);
#endif
  }

  ACE_HANDLE reserve_ = ACE_INVALID_HANDLE;
};

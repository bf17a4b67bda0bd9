// The listener of one port. Connections are accepted by a thread of the
// listener's own that waits for the port to become readable and accepts,
// not by the reactor: a client that connects is greeted after one wake-up
// of that thread, where the reactor would wake, dispatch, accept, look for
// more and watch the listener again before its next wait. The new
// connection's socket is then watched by the reactor like any other.
//
// Beyond ACE's acceptor it keeps one descriptor in reserve: when the
// process is out of descriptors, a pending connection would stay in the
// listen queue for ever and the port would stay readable. The reserve is
// given up for a moment to take that connection, tell its client why it
// is refused (the protocol's own error line) and close it. The listeners
// of all ports accept one at a time (accept_lock), so that one port's
// reserve, given up for that moment, is never taken by another port's
// client.
#pragma once

#include <ace/ACE.h>
#include <ace/Acceptor.h>
#include <ace/Guard_T.h>
#include <ace/OS_NS_fcntl.h>
#include <ace/OS_NS_sys_socket.h>
#include <ace/OS_NS_unistd.h>
#include <ace/SOCK_Acceptor.h>
#include <ace/Thread_Manager.h>
#include <ace/Thread_Mutex.h>

#include <atomic>
#include <cerrno>

#include "qorrfc_refusal_log.h"

// Held by every port's listener while it accepts.
inline ACE_Thread_Mutex &qorrfc_accept_lock() {
  static ACE_Thread_Mutex lock;
  return lock;
}

template <class HANDLER>
class Qorrfc_Acceptor : public ACE_Acceptor<HANDLER, ACE_SOCK_Acceptor> {
 public:
  Qorrfc_Acceptor() { take_reserve(); }
  ~Qorrfc_Acceptor() override {
    stop();
    if (reserve_ != ACE_INVALID_HANDLE) ACE_OS::close(reserve_);
  }

  // Listens on addr, with a queue as long as the system allows: when many
  // clients connect at once the kernel drops the handshakes that do not
  // fit, and such a client believes it is connected and waits for its
  // handle record until it gives up. Starts the accepting thread; the
  // connections' sockets go to reactor. 0, or -1 with errno set.
  int listen(const ACE_INET_Addr &addr, ACE_Reactor *reactor) {
    if (this->acceptor().open(addr, 1, PF_INET, SOMAXCONN) == -1) return -1;
    // An accept never waits: the thread waits for the port to be
    // readable, and another client may have been taken meanwhile.
    this->acceptor().enable(ACE_NONBLOCK);
    this->reactor(reactor);
    if (ACE_Thread_Manager::instance()->spawn(accept_main, this, THR_NEW_LWP | THR_JOINABLE,
                                              &thread_) == -1) {
      int error = errno;
      close_listener();
      this->reactor(nullptr);
      errno = error;
      return -1;
    }
    running_ = true;
    return 0;
  }

  // Accepts no more connections: the thread ends and the port is closed.
  // Connections already accepted are not touched.
  void stop() {
    if (running_) {
      stopping_ = true;
      // Ends the thread's wait: on Linux a shut listener reads as ready
      // and fails the accept, on Windows only a closed one does.
#if defined (ACE_WIN32)
      close_listener();
#else
      ACE_OS::shutdown(this->acceptor().get_handle(), ACE_SHUTDOWN_READ);
#endif
      ACE_Thread_Manager::instance()->join(thread_);
      running_ = false;
    }
    close_listener();
    this->reactor(nullptr);
  }

 protected:
  // Takes a pending connection into handler: 0, or -1 with errno (EAGAIN
  // when none is pending any more).
  int accept_svc_handler(HANDLER *handler) override {
    ACE_Reactor *reactor = this->reactor();
    if (reactor == nullptr) {
      errno = EINVAL;
      return -1;
    }
    bool reset = reactor->uses_event_associations();
    ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, qorrfc_accept_lock(), -1);
    if (accept_into(handler, reset) == 0) return 0;
    int error = errno;
    // A reserve that could not be taken back last time is taken now.
    if (reserve_ == ACE_INVALID_HANDLE) take_reserve();
    if ((error == EMFILE || error == ENFILE) && reserve_ != ACE_INVALID_HANDLE) {
      ACE_OS::close(reserve_);
      reserve_ = ACE_INVALID_HANDLE;
      if (accept_into(handler, reset) == 0) {
        handler->refuse("out of descriptors");
        handler->peer().close();
      }
      take_reserve();
    }
    handler->close(CLOSE_DURING_NEW_CONNECTION);
    errno = error;
    return -1;
  }

  int activate_svc_handler(HANDLER *handler) override {
    // The new socket is in blocking mode already (see accept_into): ACE's
    // version would make sure of that at two system calls per connection.
    if (handler->open(this) == 0) return 0;
    handler->close(NORMAL_CLOSE_OPERATION);
    return -1;
  }

 private:
  static ACE_THR_FUNC_RETURN accept_main(void *arg) {
    static_cast<Qorrfc_Acceptor *>(arg)->accept_loop();
    return 0;
  }

  void accept_loop() {
    ACE_HANDLE listener = this->acceptor().get_handle();
    while (!stopping_) {
      if (ACE::handle_read_ready(listener, nullptr) == -1 && errno != EINTR) {
        if (stopping_) break;
        pause();
        continue;
      }
      if (stopping_) break;
      HANDLER *handler = nullptr;
      if (this->make_svc_handler(handler) == -1) {
        pause();
        continue;
      }
      if (accept_svc_handler(handler) == -1) {
        int error = errno;
        if (stopping_) break;
        // Out of descriptors or memory: the port stays readable, and the
        // next try would fail at once.
        if (error != EINTR && error != ECONNABORTED && error != EWOULDBLOCK && error != EAGAIN)
          pause();
        continue;
      }
      this->activate_svc_handler(handler);
    }
  }

  // One accept into handler's socket, again after a signal. Linux gives
  // the new socket no flag of the listener's; Windows gives it the
  // listener's non-blocking mode, which is taken off.
  int accept_into(HANDLER *handler, bool reset_event_association) {
    ACE_HANDLE accepted;
    do
      accepted = ACE_OS::accept(this->acceptor().get_handle(), nullptr, nullptr);
    while (accepted == ACE_INVALID_HANDLE && errno == EINTR && !stopping_);
    if (accepted == ACE_INVALID_HANDLE) return -1;
    handler->peer().set_handle(accepted);
#if defined (ACE_WIN32)
    if (reset_event_association) ::WSAEventSelect((SOCKET) accepted, 0, 0);
    handler->peer().disable(ACE_NONBLOCK);
#else
    ACE_UNUSED_ARG(reset_event_association);
#endif
    return 0;
  }

  // A short pause before the next try when the system has no room: the
  // listener must not take a whole core while that lasts.
  static void pause() {
    ACE_Time_Value moment(0, 1000);
    ACE_OS::sleep(moment);
  }

  void close_listener() {
    if (this->acceptor().get_handle() != ACE_INVALID_HANDLE) this->acceptor().close();
  }

  void take_reserve() {
#if defined (ACE_WIN32)
    reserve_ = ACE_OS::open("NUL", O_RDONLY);
#else
    reserve_ = ACE_OS::open("/dev/null", O_RDONLY);
#endif
  }

  ACE_HANDLE reserve_ = ACE_INVALID_HANDLE;
  ACE_thread_t thread_{};
  bool running_ = false;
  std::atomic<bool> stopping_{false};
};

#include "qorrfc_base_handler.h"

#include <ace/Log_Msg.h>
#include <ace/OS_NS_stdio.h>
#include <ace/OS_NS_string.h>
#include <ace/OS_NS_sys_socket.h>
#include <ace/Reactor.h>
#include <ace/os_include/netinet/os_tcp.h>

#include "qorrfc_base_request.h"
#include "qorrfc_handle_name.h"
#include "qorrfc_handler_registry.h"
#include "qorrfc_refusal_log.h"
#include "qorrfc_serial.h"
#include "qorrfc_worker_pool.h"

std::atomic<bool> Qorrfc_Base_Handler::loop_ended_{false};

namespace {
// The connection whose worker the thread is running, if any.
thread_local Qorrfc_Base_Handler *current_worker = nullptr;
}  // namespace

Qorrfc_Base_Handler::Qorrfc_Base_Handler() : sema_(0, USYNC_THREAD, nullptr, nullptr, 0x7fffffff) {
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) Entering Qorrfc_Base_Handler constructor\n"));
  ACE_OS::memset(handle_, ' ', HANDLE_RECORD_WIDTH);
  handle_[HANDLE_RECORD_WIDTH] = '\0';
  ACE_OS::memset(&error_info_, 0, sizeof error_info_);
  msg_queue()->high_water_mark(16384);
  msg_queue()->low_water_mark(16384);
  msg_queue()->notification_strategy(&queue_wake_);
  reference_counting_policy().value(ACE_Event_Handler::Reference_Counting_Policy::ENABLED);
}

Qorrfc_Base_Handler::~Qorrfc_Base_Handler() {
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) Entering Qorrfc_Base_Handler destructor\n"));
  if (rfc_handle_ != RFC_HANDLE_NULL) RfcClose(rfc_handle_);
  Qorrfc_Handler_Registry::instance()->unbind_all(this);
  delete current_request_;
  release_data_connection();
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) Leaving Qorrfc_Base_Handler destructor\n"));
}

void Qorrfc_Base_Handler::remove_ref() {
  if (--refs_ == 0) delete this;
}

ACE_Event_Handler::Reference_Count Qorrfc_Base_Handler::add_reference() { return ++refs_; }

ACE_Event_Handler::Reference_Count Qorrfc_Base_Handler::remove_reference() {
  long left = --refs_;
  if (left == 0) delete this;
  return left;
}

int Qorrfc_Base_Handler::resume_handler() {
  return self_resuming_ ? ACE_Event_Handler::ACE_APPLICATION_RESUMES_HANDLER
                        : ACE_Event_Handler::ACE_REACTOR_RESUMES_HANDLER;
}

void Qorrfc_Base_Handler::rearm() {
  if (self_resuming_) loop_->resume_handler(this);
}

void Qorrfc_Base_Handler::refuse(const char *why) {
  // A new socket's send buffer is empty: the line never waits.
  const char *text = capacity_refusal_text();
  Qorrfc_Base_Handler::send(text, ACE_OS::strlen(text));
  Qorrfc_Refusal_Log::instance()->refused(why);
}

int Qorrfc_Base_Handler::handle_idle() { return 0; }

int Qorrfc_Base_Handler::name_connection() {
  char serial_text[8];
  for (;;) {
    unsigned short serial = Qorrfc_Serial::instance()->next();
    if (Qorrfc_Handle_Name::compose(serial, handle_, serial_text) == -1) {
      ACE_ERROR((LM_ERROR, "%D(%P|%t) %p\n", "Cannot make a connection handle"));
      return -1;
    }
    ACE_DEBUG((LM_DEBUG, "%D(%P|%t) Assigned QOR Handle \"%s\" from serial number %s\n", handle_,
               serial_text));
    if (Qorrfc_Handler_Registry::instance()->bind(handle_, this) != 1) return 0;
  }
}

int Qorrfc_Base_Handler::open(void *) {
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) Entering Qorrfc_Base_Handler open\n"));
  // The listener's thread opens the connection, and once the socket is
  // registered the reactor thread may already have its first bytes or its
  // end: it waits (wait_until_opened) until the client has been greeted
  // and the worker given, so that nothing is queued or answered before
  // the greeting. The reference keeps the handler for the rest of this
  // call even if the connection has ended by then.
  Qorrfc_Handler_Ref self(this);
  ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, open_lock_, -1);
  if (name_connection() == -1) {
    refuse("no connection handle left");
    return -1;
  }
  loop_ = reactor();
  self_resuming_ = loop_->resumable_handler() != 0;
  // A connection whose input nobody watches would never see its end
  // (the select reactor takes no handle beyond its table): refuse it.
  registered_ = 1;
  if (loop_->register_handler(this, ACE_Event_Handler::READ_MASK) == -1) {
    registered_ = 0;
    refuse("the reactor watches no more connections");
    return -1;
  }
  worker_started_ = true;
  worker_running_ = true;
  if (Qorrfc_Worker_Pool::instance()->run(this, WORKER_STACK, [this] {
        Qorrfc_Refusal_Log::instance()->accepted();
        send_handle();
      }) == -1) {
    worker_started_ = false;
    worker_running_ = false;
    char why[160];
    ACE_OS::snprintf(why, sizeof why, "cannot start a thread (%s)", ACE_OS::strerror(errno));
    refuse(why);
    return -1;
  }
  // Opened: a client that closes as soon as it has its greeting finds
  // the reactor thread free to end the connection at once.
  opening_ = false;
  guard.release();
  // Replies are small writes that a client waits for before it sends
  // again: held back until the last one is acknowledged (which a reading
  // client delays), a reply of several lines would take tens of
  // milliseconds. Set after the greeting, which is the first write and
  // never held back; the first reply needs a request, whose arrival
  // acknowledges the greeting, so it is not held back either.
  int one = 1;
  peer().set_option(ACE_IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return 0;
}

void Qorrfc_Base_Handler::wait_until_opened() {
  if (opening_) {
    ACE_GUARD(ACE_Thread_Mutex, guard, open_lock_);
  }
}

int Qorrfc_Base_Handler::handle_input(ACE_HANDLE) {
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) Entering Qorrfc_Base_Handler handle_input (%s)\n", handle_));
  wait_until_opened();
  // A worker busy with a long request must not stall the reactor thread
  // (and with it every other connection) on a full queue: stop reading
  // this socket until the worker has made room.
  if (msg_queue()->deactivated()) return -1;  // the worker has ended
  if (msg_queue()->is_full()) {
    if (self_resuming_) {
      suspended_ = 1;  // left unarmed until the worker has made room
      // A worker that ended meanwhile may have missed the mark.
      if (msg_queue()->deactivated()) return -1;
    } else if (loop_->suspend_handler(this) == 0) {
      suspended_ = 1;
    }
    return 0;
  }
  ACE_Message_Block *block = new ACE_Message_Block(READ_CHUNK);
  ssize_t n = read_chunk(block->wr_ptr());
  ACE_DEBUG((LM_DEBUG, "%D(%P|%t) %d bytes from QOR\n", static_cast<int>(n)));
  if (n > 0) {
    block->wr_ptr(static_cast<size_t>(n));
    if (putq(block) == -1) {
      block->release();
      return -1;
    }
    rearm();
    return 0;
  }
  if (n == 0)
    ACE_DEBUG((LM_DEBUG, "%D(%P|%t) %s\n", "EOF from QOR"));
  else
    ACE_ERROR((LM_ERROR, "%D(%P|%t) %p\n", "Error reading from QOR"));
  // Cancelled before the end mark is queued, so the worker that takes the
  // mark sees the cancel and ends at once, not at its next one-second
  // check; under a high connection rate the lingering workers would
  // otherwise fill the reactor's handle table. The mark, not the cancel,
  // wakes a worker that has not started yet: woken first, it would wait
  // for the mark at once.
  client_gone_ = true;
  cancel_unless_owned(false);
  // A connection that ends without having sent anything (a client that
  // only looks at the greeting, a probe of the port) has a worker that
  // would only wake to end: it is ended here instead (handle_close, once
  // the reactor has let go of the socket), and its thread is not woken.
  if (delete_on_close_ && msg_queue()->is_empty() &&
      Qorrfc_Worker_Pool::instance()->take_back(this)) {
    block->release();
    ACE_DEBUG((LM_TRACE, "%D(%P|%t) In Qorrfc_Base_Handler svc - end of input\n"));
    ended_unstarted_ = true;
    return -1;
  }
  if (putq(block) == -1) block->release();
  return -1;
}

ssize_t Qorrfc_Base_Handler::read_chunk(char *buffer) {
#if defined (MSG_DONTWAIT)
  // The socket is readable, so the bytes (or the end) are there: taken
  // without a wait, the read costs one system call instead of the six of
  // a timed one (a wait and two switches of the socket's mode).
  ssize_t n = ACE_OS::recv(peer().get_handle(), buffer, READ_CHUNK, MSG_DONTWAIT);
  if (n >= 0 || (errno != EWOULDBLOCK && errno != EAGAIN && errno != EINTR)) return n;
#endif
  ACE_Time_Value limit(1);
  return peer().recv(buffer, READ_CHUNK, &limit);
}

void Qorrfc_Base_Handler::resume_if_suspended() {
  if (suspended_ && !msg_queue()->is_full() && suspended_.exchange(0))
    loop_->resume_handler(this);
}

int Qorrfc_Base_Handler::svc() {
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) Entering Qorrfc_Base_Handler svc (%s)\n", handle_));
  int status = 0;
  while (status == 0) {
    ACE_Message_Block *block = nullptr;
    ACE_Time_Value until = ACE_OS::gettimeofday() + ACE_Time_Value(1);
    if (getq(block, &until) == -1) {
      if (errno != EWOULDBLOCK) {
        ACE_DEBUG((LM_TRACE, "%D(%P|%t) Timeout -1\n"));
        status = -1;
      } else if (cancelled()) {
        ACE_DEBUG((LM_TRACE, "%D(%P|%t) Timeout 1\n"));
        status = 1;
      } else {
        ACE_DEBUG((LM_TRACE, "%D(%P|%t) Timeout 0\n"));
        resume_if_suspended();
        if (handle_idle() != 0) status = 1;
      }
      continue;
    }
    resume_if_suspended();
    switch (block->msg_type()) {
      case ACE_Message_Block::MB_DATA:
        status = take_data(block);
        break;
      case MB_START: {
        ACE_DEBUG((LM_DEBUG, "%D(%P|%t) In Qorrfc_Base_Handler svc - got MB_START\n"));
        bool payload = block->length() > 0;
        block->release();
        status = payload ? handle_callrfc_batch() : handle_batch();
        break;
      }
      case MB_HANGUP:
        ACE_DEBUG((LM_DEBUG, "%D(%P|%t) In Qorrfc_Base_Handler svc - got MB_HANGUP\n"));
        block->release();
        status = -2;
        break;
      default:
        ACE_DEBUG((LM_DEBUG, "%D(%P|%t) In Qorrfc_Base_Handler svc - got unknown MB type\n"));
        block->release();
        status = -1;
        break;
    }
  }
  return status;
}

void Qorrfc_Base_Handler::run_worker() {
  current_worker = this;
  svc();
  current_worker = nullptr;
  worker_running_ = false;
  close(0);
}

int Qorrfc_Base_Handler::Queue_Wake::notify() {
  Qorrfc_Worker_Pool::instance()->wake(static_cast<Qorrfc_Base_Handler *>(eh_));
  return 0;
}

void Qorrfc_Base_Handler::cancel() {
  cancelled_ = true;
  Qorrfc_Worker_Pool::instance()->wake(this);
}

bool Qorrfc_Base_Handler::cancelled() const {
  return cancelled_ || Qorrfc_Worker_Pool::instance()->stopping();
}

bool Qorrfc_Base_Handler::worker_cancelled() {
  return current_worker ? current_worker->cancelled() : Qorrfc_Worker_Pool::instance()->stopping();
}

int Qorrfc_Base_Handler::take_data(ACE_Message_Block *block) {
  if (block->length() == 0) {  // the end of input
    block->release();
    if (!cancelled()) return 0;
    ACE_DEBUG((LM_TRACE, "%D(%P|%t) In Qorrfc_Base_Handler svc - end of input\n"));
    return 1;
  }
  switch (framer_.add(block)) {
    case Qorrfc_Framer::INCOMPLETE:
      return 0;
    case Qorrfc_Framer::CONTINUED:
      send("OK\n", 3);
      return 0;
    case Qorrfc_Framer::COMPLETE: {
      ACE_Message_Block *request = framer_.take_request();
      int status = handle_mb(request);
      request->release();
      return status;
    }
    case Qorrfc_Framer::TOO_LARGE:
      break;
  }
  const char *text = request_too_large_text();
  send(text, ACE_OS::strlen(text));
  ACE_OS::shutdown(peer().get_handle(), ACE_SHUTDOWN_BOTH);
  return -1;
}

int Qorrfc_Base_Handler::handle_close(ACE_HANDLE fd, ACE_Reactor_Mask mask) {
  if (is_final_close(fd, mask)) return final_close();
  wait_until_opened();
  // The worker may drop the last other reference while this runs.
  Qorrfc_Handler_Ref self(this);
  client_gone_ = true;
  // The reactor calls this as it removes the handler for READ_MASK: the
  // socket is no longer watched once this returns, and a removal of our
  // own would cost the reactor its signal masking a second time.
  registered_ = 0;
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) Entering Qorrfc_Base_Handler handle_close for READ_MASK\n"));
  if (ended_unstarted_) {
    // The worker's own end, for the worker that never ran.
    worker_running_ = false;
    close(0);
    return 0;
  }
  cancel_unless_owned();
  return 0;
}

void Qorrfc_Base_Handler::cancel_unless_owned(bool wake) {
  if (!delete_on_close_) return;
  cancelled_ = true;
  if (wake) Qorrfc_Worker_Pool::instance()->wake(this);
}

int Qorrfc_Base_Handler::final_close() {
  ACE_DEBUG((LM_TRACE, "%D(%P|%t) Entering Qorrfc_Base_Handler handle_close for MASK_ALL\n"));
  // Wakes a reactor-thread putq that waits on the full queue, and makes
  // later posts fail instead of queueing for nobody.
  msg_queue()->deactivate();
  // No key may lead a finder to a connection that has ended.
  Qorrfc_Handler_Registry::instance()->unbind_all(this);
  if (self_resuming_ && worker_started_ && registered_ && !loop_ended_) {
    // An epoll reactor looks a handler up and takes its reference in two
    // steps, so a removal from this thread could free the handler in
    // between. The reactor removes it on its own thread instead: the
    // shut socket reads as ended (handle_input, also when it was left
    // unarmed), and its reference keeps the handler until then.
    ACE_OS::shutdown(peer().get_handle(), ACE_SHUTDOWN_BOTH);
    if (suspended_.exchange(0)) loop_->resume_handler(this);
  } else if (reactor() && registered_) {
    // The select reactor's removal waits for a dispatch of this handler
    // to finish; without a worker this is the reactor thread itself.
    reactor()->remove_handler(this, ACE_Event_Handler::ALL_EVENTS_MASK |
                                         ACE_Event_Handler::DONT_CALL);
  }
  reactor(nullptr);
  if (delete_on_close_) ACE_DEBUG((LM_TRACE, "%D(%P|%t) About to delete self\n"));
  remove_ref();
  return 0;
}

void Qorrfc_Base_Handler::set_request_handler(Qorrfc_Base_Handler *request_connection) {
  request_handler_ = request_connection;
}

int Qorrfc_Base_Handler::handle_mb(ACE_Message_Block *) { return 0; }

int Qorrfc_Base_Handler::handle_batch() { return 0; }

int Qorrfc_Base_Handler::post(ACE_Message_Block *block) {
  if (putq(block) == -1) {
    block->release();
    return -1;
  }
  return 0;
}

int Qorrfc_Base_Handler::hangup() {
  return post(new ACE_Message_Block(0, MB_HANGUP));
}

void Qorrfc_Base_Handler::current_request(Qorrfc_Base_Request *request) {
  if (request == current_request_) return;
  delete current_request_;
  current_request_ = request;
}

void Qorrfc_Base_Handler::link_data_connection(Qorrfc_Handler_Ref d) {
  if (d.get() == data_connection_.get()) return;
  release_data_connection();
  if (!d) return;
  d->set_request_handler(this);
  d->delete_on_close(0);
  data_connection_ = std::move(d);
}

void Qorrfc_Base_Handler::release_data_connection() {
  Qorrfc_Base_Handler *d = data_connection_.get();
  if (d == nullptr) return;
  d->delete_on_close(1);
  d->cancel();
  d->hangup();
  data_connection_.reset();
}

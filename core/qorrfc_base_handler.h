// The object behind every accepted connection, whatever its protocol.
// The reactor thread reads the socket in chunks of at most 256 bytes and
// queues them; the connection's own worker thread joins them into requests
// (Qorrfc_Framer) and hands each to the protocol class's handle_mb. The
// worker also serves control blocks that other connections post (start of
// a batch step, hang-up). Every write to the client goes through here.
//
// Lifetime: a handler is counted. The connection itself holds one
// reference, dropped when its worker has ended; a registry look-up
// (Qorrfc_Handler_Ref) and a request connection that owns this one as its
// data connection hold others, and so does the reactor while it watches
// the socket and while it runs one of the handler's callbacks (ACE's
// reference counting, mapped onto the same count: an epoll reactor runs a
// callback without holding off a worker that ends the connection). The
// last reference deletes the handler.
#pragma once

#include <ace/Notification_Strategy.h>
#include <ace/Recursive_Thread_Mutex.h>
#include <ace/Semaphore.h>
#include <ace/Thread_Mutex.h>
#include <ace/SOCK_Stream.h>
#include <ace/Svc_Handler.h>
#include <ace/Synch_Traits.h>
#include <xercesc/util/XercesDefs.hpp>

#include <atomic>

#include "qorrfc_framer.h"
#include "qorrfc_handler_ref.h"
#include "qorrfc_worker_pool.h"
#include "saprfc.h"

class Qorrfc_Base_Request;
class Qorrfc_MQ;
class Qorrfc_Handler_Registry;

class Qorrfc_Base_Handler : public ACE_Svc_Handler<ACE_SOCK_Stream, ACE_MT_SYNCH> {
 public:
  typedef ACE_Svc_Handler<ACE_SOCK_Stream, ACE_MT_SYNCH> super;
  enum { MB_START = 0x88, MB_HANGUP = 0x89 };
  enum { HANDLE_RECORD_WIDTH = 129, READ_CHUNK = 256, WORKER_STACK = 0x5b000 };

  Qorrfc_Base_Handler();
  ~Qorrfc_Base_Handler() override;

  // Called by the acceptor for a new connection: names it, registers it,
  // starts the worker and greets the client.
  int open(void *acceptor) override;
  // Called by the reactor thread when the socket is readable.
  int handle_input(ACE_HANDLE fd) override;
  // Called by the reactor thread with READ_MASK at the end of input, and
  // with ALL_EVENTS_MASK on the worker thread as it ends (final close).
  int handle_close(ACE_HANDLE fd, ACE_Reactor_Mask mask) override;
  // True for the close that ACE makes as the worker ends or as a new
  // connection is given up (no socket, every mask); the reactor closes
  // with the socket and the mask it stops watching.
  static bool is_final_close(ACE_HANDLE fd, ACE_Reactor_Mask mask) {
    return fd == ACE_INVALID_HANDLE && mask != ACE_Event_Handler::READ_MASK;
  }
  // The worker: framing and the control blocks.
  int svc() override;
  // Called by the worker pool on the connection's thread: svc, then the
  // final close (which may delete the handler).
  void run_worker();
  // Any thread: asks the worker to end. It looks at each of its one-second
  // waits and between a background job's calls.
  void cancel();
  // The worker was asked to end, or the server is stopping.
  bool cancelled() const;
  // cancelled() of the connection whose worker the calling thread is; on
  // any other thread, whether the server is stopping.
  static bool worker_cancelled();
  // From the start of the worker until it has finished with the connection.
  bool worker_running() const { return worker_running_; }
  // The reactor's references (see the lifetime note above).
  Reference_Count add_reference() override;
  Reference_Count remove_reference() override;
  // On a reactor that lets a handler re-arm its own socket, handle_input
  // does so itself, so that a full queue can leave the socket unwatched
  // until the worker has made room.
  int resume_handler() override;

  // Called by the owning request connection when it links this one.
  virtual void set_request_handler(Qorrfc_Base_Handler *request_connection);
  // Called by open once the worker runs: the greeting with the handle.
  virtual int send_handle();
  // Called by the worker with one complete request (the chain stays the
  // caller's); 0 goes on, any other value ends the worker.
  virtual int handle_mb(ACE_Message_Block *request);
  // Called by the worker for an empty MB_START block.
  virtual int handle_batch();
  // Called by the worker for an MB_START block with payload: serves the
  // calls of a background job at the gateway for the request connection.
  virtual int handle_callrfc_batch();
  // Called by any thread: ends the worker after what is queued.
  virtual int hangup();
  // Any thread holding the connection: the writes to its socket.
  virtual int send(const XMLCh *text, size_t length);
  virtual int send(const char *bytes, size_t length);
  // "%s%s%s" of a, b, c (with prefix: "%s,%s%s%s"); "" when one is missing.
  // The caller frees the text with delete[].
  virtual char *join_texts(const char *a, const char *b, const char *c,
                           const char *prefix = nullptr);
  // The keyed data queues (Qorrfc_MQ_Registry); no state of this handler.
  virtual int put_destq(const char *key, const char *text, Qorrfc_MQ **queue = nullptr);
  // mine first when it is still queued (Qorrfc_MQ_Registry::take).
  virtual const char *get_destq_key(const char *key, const char *mine = nullptr);
  virtual Qorrfc_MQ *find_destq(const char *key, ACE_Thread_Mutex **lock);
  // Rows of table as records of row width + 1 flag byte, or without a
  // table the end (n < 0, marker 0xFF) or error (n >= 0, marker 'X')
  // record of |n| zero bytes.
  virtual int send_table(ITAB_H table, int n);
  virtual int send_format(const char *format, ...);
  // Called by the worker before it closes a connection whose request
  // passed the size limit: the protocol's refusal line.
  virtual const char *request_too_large_text() const;
  // The protocol's line for a client that the server has no room for
  // (no descriptor, thread or handle left), sent instead of the greeting.
  virtual const char *capacity_refusal_text() const;
  // Called by the acceptor or by open for a connection that cannot be
  // served: tells the client (capacity_refusal_text) and the log (once
  // for a run of refusals) why.
  void refuse(const char *why);
  // Called by the worker after each second in which nothing arrived;
  // non-zero ends the worker.
  virtual int handle_idle();
  // True once the client has closed its end (or the socket failed).
  bool client_gone() const { return client_gone_; }
  // How many references are held (the connection's own included).
  long references() const { return refs_; }

  // An error line in the connection's protocol ("E,%s" on the main port),
  // after an error record of width on the data connection when width is
  // not 0.
  virtual int send_error(const char *message, int width);
  int send_rfc_error();
  // A protocol with a form of its own for an RFC error report sends it and
  // returns true; false leaves the main port's E-lines to the caller.
  virtual bool send_own_rfc_error(const RFC_ERROR_INFO_EX &) { return false; }

  // Called by the thread that ran the event loop once it has returned:
  // from then on an ending worker takes its connection off the reactor
  // itself, nothing being dispatched any more.
  static void event_loop_ended() { loop_ended_ = true; }

  // Counted references; see the lifetime note above.
  void add_ref() { ++refs_; }
  void remove_ref();

  // Links d as this request connection's data connection: d stays alive
  // and keeps its worker when its client closes, until released.
  void link_data_connection(Qorrfc_Handler_Ref d);
  // Gives the data connection back: its worker is asked to end.
  void release_data_connection();

  const char *handle() const { return handle_; }
  int delete_on_close() const { return delete_on_close_; }
  void delete_on_close(int flag) { delete_on_close_ = flag; }
  Qorrfc_Base_Handler *data_connection() const { return data_connection_.get(); }
  Qorrfc_Base_Handler *request_handler() const { return request_handler_; }
  Qorrfc_Base_Handler *logon_link() const { return logon_link_; }
  void logon_link(Qorrfc_Base_Handler *h) { logon_link_ = h; }
  ACE_Semaphore &sema() { return sema_; }
  RFC_HANDLE rfc_handle() const { return rfc_handle_; }
  void rfc_handle(RFC_HANDLE h) { rfc_handle_ = h; }
  int batch_active() const { return batch_active_; }
  void batch_active(int flag) { batch_active_ = flag; }
  Qorrfc_Base_Request *current_request() const { return current_request_; }
  // Replaces (and deletes) the current request.
  void current_request(Qorrfc_Base_Request *request);
  int batch_status() const { return batch_status_; }
  void batch_status(int status) { batch_status_ = status; }
  const char *batch_errtext() const { return batch_errtext_ ? batch_errtext_ : ""; }
  const char **batch_errtext_out() { return &batch_errtext_; }
  RFC_ERROR_INFO_EX &error_info() { return error_info_; }
  // Set when the last gateway loop ended because its registration broke
  // (R/3 or its gateway gone), with the library's error in error_info.
  int batch_broken() const { return batch_broken_; }
  int row_width() const { return row_width_; }
  // Called before rows of another width go out on this connection (the
  // tables of one function request differ in width).
  void row_width(int width) { row_width_ = width; }
  // Held by a function request while it uses the R/3 session that this
  // logon connection keeps for all of them (rfc_handle).
  ACE_Recursive_Thread_Mutex &session_lock() { return session_lock_; }

 protected:
  // Posts a block of type to the own queue; -1 when the worker has ended.
  int post(ACE_Message_Block *block);
  // Resumes reading after the worker made room in a full queue.
  void resume_if_suspended();
  // A data connection's whole batch step, run by its worker: registers at
  // the gateway for request (none: the step fails with the error text
  // already set), posts its own semaphore with the outcome, serves the
  // job's calls, unregisters and posts the request connection's
  // semaphore. who names the step in the log.
  void run_registration(Qorrfc_Base_Handler *owner, Qorrfc_Base_Request *request,
                        const char *prog_id, const char *host, const char *service,
                        char host_flag, const char *who);
  // Serves the background job's calls arriving on a gateway registration,
  // dispatching each to request, until the last chunk or a cancel.
  void serve_gateway_calls(RFC_HANDLE handle, Qorrfc_Base_Request *request);

 private:
  friend class Qorrfc_Handler_Registry;
  friend class Qorrfc_Worker_Pool;
  // Told of every block queued for the worker: wakes the thread that was
  // given the connection and waits to start its worker.
  class Queue_Wake : public ACE_Notification_Strategy {
   public:
    explicit Queue_Wake(Qorrfc_Base_Handler *handler)
        : ACE_Notification_Strategy(handler, ACE_Event_Handler::NULL_MASK) {}
    int notify() override;
    int notify(ACE_Event_Handler *, ACE_Reactor_Mask) override { return notify(); }
  };

  int name_connection();
  // Called by the reactor thread before it touches the connection: returns
  // once open has finished on the listener's thread.
  void wait_until_opened();
  // Called by handle_input: up to READ_CHUNK bytes of the client, waiting
  // at most a second for them; 0 at the end, -1 on an error.
  ssize_t read_chunk(char *buffer);
  // One block of client bytes through the framing; the worker's status.
  int take_data(ACE_Message_Block *block);
  // Asks the worker to end, unless another connection owns this one;
  // without wake, a worker not yet started starts at the next block queued.
  void cancel_unless_owned(bool wake = true);
  int final_close();
  // Called by the reactor thread at the end of a read: watches the socket
  // again where the reactor leaves that to the handler.
  void rearm();

  std::atomic<int> delete_on_close_{1};
  char handle_[HANDLE_RECORD_WIDTH + 1];
  Qorrfc_Handler_Ref data_connection_;
  Qorrfc_Base_Handler *request_handler_ = nullptr;
  ACE_Semaphore sema_;
  RFC_HANDLE rfc_handle_ = RFC_HANDLE_NULL;
  std::atomic<int> registered_{0};  // watched by the reactor (its thread clears it)
  std::atomic<bool> worker_started_{false};
  std::atomic<bool> worker_running_{false};
  std::atomic<bool> cancelled_{false};
  // Held by open until the client is greeted, when opening_ is cleared
  // (an open that fails leaves it set: the lock is free all the same).
  ACE_Thread_Mutex open_lock_;
  std::atomic<bool> opening_{true};
  // Set by the reactor thread for a connection it ends itself because its
  // worker never started (handle_input, then handle_close).
  bool ended_unstarted_ = false;
  // The pool's: the thread given the connection, and whether it has been
  // woken for the worker (true too for a thread started for it).
  Qorrfc_Worker_Pool::Slot *worker_slot_ = nullptr;
  std::atomic<bool> worker_woken_{true};
  Queue_Wake queue_wake_{this};
  static std::atomic<bool> loop_ended_;
  int batch_active_ = 0;
  Qorrfc_Base_Request *current_request_ = nullptr;
  int batch_status_ = 0;
  int batch_broken_ = 0;
  const char *batch_errtext_ = nullptr;
  RFC_ERROR_INFO_EX error_info_;
  int row_width_ = 0;
  Qorrfc_Base_Handler *logon_link_ = nullptr;
  ACE_Recursive_Thread_Mutex session_lock_;

  std::atomic<long> refs_{1};
  int registry_keys_ = 0;  // keys bound to this handler; registry lock
  std::atomic<int> suspended_{0};
  std::atomic<bool> client_gone_{false};
  // The reactor the socket is registered with, kept past final_close:
  // a callback still running on the reactor thread may need it.
  ACE_Reactor *loop_ = nullptr;
  bool self_resuming_ = false;
  Qorrfc_Framer framer_;
};

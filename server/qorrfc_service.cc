#include "qorrfc_service.h"

#include <ace/ACE.h>
#include <ace/ARGV.h>
#include <ace/Log_Msg.h>
#include <ace/Logging_Strategy.h>
#include <ace/OS_NS_signal.h>
#include <ace/OS_NS_stdio.h>
#include <ace/OS_NS_arpa_inet.h>
#include <ace/OS_NS_stdlib.h>
#include <ace/OS_NS_sys_socket.h>
#include <ace/OS_NS_unistd.h>
#include <ace/Reactor.h>

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLString.hpp>

#include "qorrfc_handler_registry.h"
#include "qorrfc_mq.h"
#include "qorrfc_reactor.h"
#include "qorrfc_serial.h"
#include "qorrfc_sigcatcher.h"
#include "qorrfc_worker_pool.h"
#include "saprfc.h"
#include "unix_qorrfc_service_options.h"

XERCES_CPP_NAMESPACE_USE

namespace {
ACE_Logging_Strategy *logging_strategy = nullptr;
bool xml_initialised = false;

void init_xml() {
  try {
    XMLPlatformUtils::Initialize();
    xml_initialised = true;
  } catch (const XMLException &e) {
    char *message = XMLString::transcode(e.getMessage());
    ACE_ERROR((LM_ERROR,
               "%D(%P|%t) Error during Xerces-c Initialization.\n  Exception message: %s\n",
               message));
    XMLString::release(&message);
  }
}

void close_lock(ACE_Process_Mutex *&lock, bool &locked) {
  if (lock && locked) lock->release();
  delete lock;
  lock = nullptr;
  locked = false;
}
}  // namespace

qorrfc_service::qorrfc_service() : options_(*qorrfc_options()) {}

void qorrfc_service::use_syslog(const char *name) {
  char words[1024];
  ACE_OS::snprintf(words, sizeof words, "-f SYSLOG -k %s -n %s", name, name);
  ACE_ARGV argv(words);
  logging_strategy = new ACE_Logging_Strategy;
  if (logging_strategy->init(argv.argc(), argv.argv()) == -1)
    ACE_ERROR((LM_ERROR, "Error initialising Logging Strategy"));
}

qorrfc_service::~qorrfc_service() {
  delete acceptor_;
  delete compat_acceptor_;
  delete bcompat_acceptor_;
  delete addr_;
  delete compat_addr_;
  delete bcompat_addr_;
  close_lock(lock_, locked_);
  close_lock(compat_lock_, compat_locked_);
  close_lock(bcompat_lock_, bcompat_locked_);
}

int qorrfc_service::take_lock(int port, const char *in_use_text, ACE_Process_Mutex *&lock,
                              bool &locked) {
  char lock_name[32];
  ACE_OS::snprintf(lock_name, sizeof lock_name, "qorrfc_%d", port);
  lock = new ACE_Process_Mutex(lock_name, nullptr, 0644);
  if (lock->tryacquire() == -1) {
    ACE_ERROR((LM_ERROR, in_use_text, port));
    return -1;
  }
  locked = true;
  return 0;
}

template <class ACCEPTOR>
void qorrfc_service::open_listener(int port, ACE_INET_Addr *&addr, ACCEPTOR *&acceptor) {
  addr = new ACE_INET_Addr(static_cast<u_short>(port), bind_address_);
  acceptor = new ACCEPTOR;
  // Serving goes on without a port that cannot be bound; the operator
  // must hear of it all the same.
  if (acceptor->listen(*addr, ACE_Reactor::instance()) == -1)
    ACE_ERROR((LM_ERROR, "%D(%P|%t) Cannot listen on port %d: %m\n", port));
}

namespace {

// A number of seconds from the environment variable name into *seconds;
// an unset variable leaves it, a malformed one is logged and left.
void read_seconds(const char *name, long *seconds, const char *what) {
  const char *text = ACE_OS::getenv(name);
  if (text == nullptr || *text == '\0') return;
  char *end = nullptr;
  long value = ACE_OS::strtol(text, &end, 10);
  if (*end != '\0' || value < 0)
    ACE_ERROR((LM_ERROR, "%D(%P|%t) %s=\"%s\" is not a number of seconds; %s %d s\n", name, text,
               what, static_cast<int>(*seconds)));
  else
    *seconds = value;
}

}  // namespace

int qorrfc_service::read_environment() {
  long kept = Qorrfc_Compat_Handler::kept_logon_limit();
  read_seconds("QORRFC_KEPT_LOGON_SECONDS", &kept, "kept logons end after");
  Qorrfc_Compat_Handler::kept_logon_limit(kept);
  long parked = Qorrfc_Worker_Pool::instance()->park_seconds();
  read_seconds("QORRFC_IDLE_THREAD_SECONDS", &parked, "a thread waits for its next connection for");
  Qorrfc_Worker_Pool::instance()->park_seconds(parked);
  // Every local interface, unless the administrator restricted the
  // listeners to one address (a server beside the clients' network). Only
  // a numeric address is taken: the start must not wait on name service.
  const char *address = ACE_OS::getenv("QORRFC_BIND_ADDRESS");
  if (address != nullptr && *address != '\0') {
    in_addr ip;
    if (ACE_OS::inet_pton(AF_INET, address, &ip) != 1) {
      ACE_ERROR((LM_ERROR,
                 "%D(%P|%t) Cannot listen: QORRFC_BIND_ADDRESS <%s> is not an IPv4 address\n",
                 address));
      return -1;
    }
    bind_address_ = ACE_NTOHL(ip.s_addr);
  }
  return 0;
}

int qorrfc_service::run() {
  Qorrfc_Serial::instance()->reset(static_cast<unsigned short>(ACE_OS::getpid() & 0xffff));
  // The shared registries are made before any connection's thread may ask
  // for them: ACE's singleton checks for an instance without a lock first.
  Qorrfc_Handler_Registry::instance();
  Qorrfc_MQ_Registry::instance();
  int failed = read_environment();
  init_xml();
  RfcInit();
  if (options_.debug_level() > 5) {
    char versions[256];
    RfcGetAllLibVersions(versions, sizeof versions);
    ACE_DEBUG((LM_NOTICE,
               "%D(%P|%t)\n--Start of SAP library info%s--End   of SAP library info\n",
               versions));
  }
  // Every lock before any listener: whoever finds one of our ports
  // answering (a second server started next to this one, a script that
  // waits for a port) must find all our locks already held, or two
  // servers could each take a part of the same ports.
  if (!failed && options_.compat_port() != 0)
    failed |= take_lock(options_.compat_port(), "(%P|%t) Dialog compatibility port %d already in use\n",
                        compat_lock_, compat_locked_);
  if (!failed && options_.bcompat_port() != 0)
    failed |= take_lock(options_.bcompat_port(), "(%P|%t) Batch compatibility port %d already in use\n",
                        bcompat_lock_, bcompat_locked_);
  if (!failed) failed |= take_lock(options_.port(), "(%P|%t) Port %d already in use\n", lock_, locked_);
  if (!failed) {
    if (options_.compat_port() != 0) open_listener(options_.compat_port(), compat_addr_, compat_acceptor_);
    if (options_.bcompat_port() != 0)
      open_listener(options_.bcompat_port(), bcompat_addr_, bcompat_acceptor_);
    open_listener(options_.port(), addr_, acceptor_);
  }
  // On Unix the signal thread then stops the whole process in order; a
  // Windows service has no process group to signal and simply stops.
  if (failed) {
#if !defined (ACE_WIN32)
    ACE_OS::kill(-ACE_OS::getpgid(0), SIGTERM);
#endif
  } else {
    ACE_Reactor::instance()->run_reactor_event_loop();
    Qorrfc_Base_Handler::event_loop_ended();
    // No connection is taken any more once nothing watches the sockets.
    if (acceptor_) acceptor_->stop();
    if (compat_acceptor_) compat_acceptor_->stop();
    if (bcompat_acceptor_) bcompat_acceptor_->stop();
  }
  // Xerces-C stays up until every worker has ended: see terminate_xml.
  return failed ? -1 : 0;
}

#if !defined (ACE_WIN32)
int qorrfc_service::startup() {
  Platform_Options *options = qorrfc_options();
  if (options->kill_request()) {
    int pgid = options->read_pid_file();
    return pgid >= 1 ? ACE_OS::kill(-pgid, SIGTERM) : -1;
  }
  bool sleep_mode = ACE_OS::getenv("QORRFC_SLEEP") != nullptr;
  if (options->debug_level() == 0) {
    if (ACE::daemonize("/", 0, options->name()) == -1) {
      ACE_ERROR((LM_ERROR, "unable to daemonize\n"));
      return 1;
    }
    if (sleep_mode) ACE_OS::sleep(600);
    use_syslog(options->name());
  }
  options->create_pid_file();
  options->write_pid_file();
  options->pid_file_written(1);
  // Each client holds two or more connections to us and one or two to
  // R/3: the descriptor limit goes as high as the system lets it, and the
  // reactor is sized for that limit.
  ACE::set_handle_limit(-1, 1);
  // The reactor exists before the signal thread may end its loop: a stop
  // signal during start-up (a port already in use signals our own group)
  // must not meet a reactor still being made.
  ACE_Reactor::instance(Qorrfc_Reactor::make(), true);
  if (!sleep_mode) QORRFC_SIGCATCHER::instance()->start();
  return serve(*options);
}
#endif  // !ACE_WIN32

int qorrfc_service::serve(const Options &options) {
  ACE_DEBUG((LM_INFO, "%D(%P|%t) qorrfc_service 4.1 2005-08-12 starting\n"));
  int result;
  {
    qorrfc_service service(options);
    result = service.run();
    ACE_DEBUG((LM_INFO, "%D(%P|%t) qorrfc_service 4.1 2005-08-12 stopping\n"));
  }
  // Every worker ends (a Windows stop asks none of them before this), and
  // the threads waiting for a connection end now, so that the wait for
  // all threads at the end of the program returns.
  Qorrfc_Worker_Pool::instance()->stop();
  return result;
}

void qorrfc_service::terminate_xml() {
  if (!xml_initialised) return;
  qorrfc_options()->release_utf8_transcoder();
  XMLPlatformUtils::Terminate();
  xml_initialised = false;
}

void qorrfc_service::delete_logging_strategy() {
  // Its destructor alone keeps the texts that init copied.
  if (logging_strategy) logging_strategy->fini();
  delete logging_strategy;
  logging_strategy = nullptr;
}

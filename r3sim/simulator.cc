#include "simulator.h"

#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "call_log.h"
#include "demo_data.h"
#include "fault_table.h"
#include "logon_check.h"
#include "system_config.h"
#include "system_tables.h"

namespace r3sim {

namespace {

std::string local_host_name() {
  char name[256] = "r3host";
  gethostname(name, sizeof name - 1);
  std::string s = name;
  return s.substr(0, s.find('.'));
}

// The logon check and the session it admits run on the same thread, one
// after the other: this carries the logon's call-log row over to the session.
thread_local int64_t t_logon_row = 0;

NamedValues logon_values(const RFCP_LOGON &logon) {
  // The password is left out: the logon's outcome tells whether it matched.
  return {{"CLIENT", logon.client},
          {"USER", logon.user},
          {"LANGUAGE", logon.language},
          {"PROGNAME", logon.progname},
          {"CLIENT_HOST", logon.client_host}};
}

std::string refusal(const RFC_ERROR_INFO_EX &e) {
  std::string text = std::to_string(e.group) + " " + e.key + " " + e.message;
  return text.substr(0, text.find('\n'));
}

void copy(char *dst, size_t n, const std::string &s) {
  size_t k = s.size() < n - 1 ? s.size() : n - 1;
  std::memcpy(dst, s.data(), k);
  dst[k] = '\0';
}

}  // namespace

Simulator::Simulator(SimulatorOptions options) : options_(std::move(options)) {
  bool fresh = access(options_.db.c_str(), F_OK) != 0;
  SqliteDb db(options_.db, fresh);
  if (fresh) {
    SystemSeed seed;
    seed.host = local_host_name();
    seed.sysnr = options_.sysnr;
    if (!options_.sysid.empty()) seed.sysid = options_.sysid;
    create_system_tables(db, seed);
    DemoSize size;
    size.bookings = options_.bookings;
    seed_demo_data(db, size);
  }
  if (!options_.sysid.empty()) SystemConfig::set(db, "SYSID", options_.sysid);
  ensure_batch_setup(db, options_.ns);
  CallLog::ensure(db);
  add_standard_modules(registry_);
  add_job_modules(registry_);
  add_qor_modules(registry_, options_.ns);
  jobs_ = std::make_unique<JobRunner>(
      options_.db, [this](const std::string &progid, RFC_ERROR_INFO_EX *error) {
        return open_gateway(progid, error);
      });
}

Simulator::~Simulator() { stop(); }

int Simulator::start() {
  SqliteDb db(options_.db, false);
  RFCP_SYSTEM sys{};
  copy(sys.sysid, sizeof sys.sysid, SystemConfig::get(db, "SYSID", "QR1"));
  copy(sys.systnr, sizeof sys.systnr, options_.sysnr);
  copy(sys.host, sizeof sys.host, SystemConfig::get(db, "HOST", "r3host"));
  copy(sys.codepage, sizeof sys.codepage, "1100");
  copy(sys.pcs, sizeof sys.pcs, "1");
  copy(sys.release, sizeof sys.release, SystemConfig::get(db, "RELEASE", "46C"));
  copy(sys.kernel_release, sizeof sys.kernel_release,
       SystemConfig::get(db, "KERNEL_RELEASE", "46D"));
  RFCP_CALLBACKS cb{};
  cb.check_logon = &Simulator::on_logon;
  cb.session = &Simulator::on_session;
  server_ = RfcpServerCreate(&cb, this, &sys);
  if (!server_) throw std::runtime_error("cannot create the application server");
  if (RfcpServerListen(server_, options_.host.c_str(), options_.port, &port_) != 0)
    throw std::runtime_error("cannot listen on " + options_.host + ":" +
                             std::to_string(options_.port) + ": " + std::strerror(errno));
  return port_;
}

void Simulator::stop() {
  // Jobs first refuse to start; ending the server then breaks the
  // conversations of running jobs, which end and are joined.
  if (!jobs_) return;
  std::thread joiner([this] { jobs_->shutdown(); });
  RFCP_SERVER *server = nullptr;
  {
    std::unique_lock<std::shared_mutex> lock(server_mutex_);
    std::swap(server, server_);
  }
  if (server) RfcpServerDestroy(server);
  joiner.join();
}

std::string Simulator::server_name(SqliteDb &db) const {
  std::string host = SystemConfig::get(db, "HOST", "r3host");
  return "SAP-Server " + host + "_" + SystemConfig::get(db, "SYSID", "QR1") + "_" +
         options_.sysnr + " on host " + host;
}

RFC_HANDLE Simulator::open_gateway(const std::string &progid, RFC_ERROR_INFO_EX *error) {
  std::shared_lock<std::shared_mutex> lock(server_mutex_);
  if (!server_) {
    error->group = RFC_ERROR_COMMUNICATION;
    std::snprintf(error->key, sizeof error->key, "RFC_ERROR_COMMUNICATION");
    std::snprintf(error->message, sizeof error->message, "The system is shutting down");
    return RFC_HANDLE_NULL;
  }
  return RfcpGatewayOpen(server_, progid.c_str(), error);
}

void Simulator::count_registrations(const std::string &progid, int *ninit, int *nready,
                                    int *nbusy) {
  std::shared_lock<std::shared_mutex> lock(server_mutex_);
  RfcpGatewayCount(server_, progid.c_str(), ninit, nready, nbusy);
}

int Simulator::on_logon(void *ctx, const RFCP_LOGON *logon, RFC_ERROR_INFO_EX *error) {
  auto *self = static_cast<Simulator *>(ctx);
  try {
    SqliteDb db(self->options_.db, false);
    int refused = LogonCheck::check(db, *logon, self->server_name(db), error);
    t_logon_row = CallLog::record(db, 0, "LOGON", "", logon_values(*logon),
                                  refused ? refusal(*error) : "OK");
    return refused;
  } catch (const std::exception &e) {
    error->group = RFC_ERROR_SYSTEM_FAILURE;
    std::snprintf(error->key, sizeof error->key, "RFC_ERROR_SYSTEM_FAILURE");
    std::snprintf(error->message, sizeof error->message, "Database error during logon\n%s", e.what());
    return 1;
  }
}

void Simulator::on_session(void *ctx, RFC_HANDLE handle, const RFCP_LOGON *logon) {
  auto *self = static_cast<Simulator *>(ctx);
  try {
    Session session{*self, *logon, SqliteDb(self->options_.db, false), t_logon_row};
    while (RfcWaitForRequest(handle, -1) == RFC_OK) {
      RFC_FUNCTIONNAME name{};
      if (RfcGetName(handle, name) != RFC_OK) break;
      Call call(session, handle, name);
      self->dispatch(call);
    }
  } catch (const std::exception &e) {
    std::fprintf(stderr, "r3sim: session ended: %s\n", e.what());
  }
}

void Simulator::dispatch(Call &call) {
  SqliteDb &db = call.db();
  const std::string &name = call.function();
  try {
    if (auto f = FaultTable::take(db, name, "DELAY"))
      std::this_thread::sleep_for(std::chrono::milliseconds(f->nth));
    if (auto f = FaultTable::take(db, name, "DROP")) {
      call.drop();
      return;
    }
    if (auto f = FaultTable::take(db, name, "EXCEPTION")) {
      call.raise(f->arg);
      return;
    }
    if (auto f = FaultTable::take(db, name, "SYSTEM_FAILURE")) {
      call.system_failure("RFC_ERROR_SYSTEM_FAILURE", f->arg);
      return;
    }
    const Module *module = registry_.module(name);
    if (!module) {
      call.system_failure("FU_NOT_FOUND", "Function module \"" + name + "\" not found");
      return;
    }
    (*module)(call);
  } catch (const std::exception &e) {
    // A runtime error in a module ends the call as it would in ABAP, and
    // the simulator goes on serving other sessions.
    if (!call.answered()) call.system_failure("RFC_ERROR_SYSTEM_FAILURE", e.what());
    return;
  }
  if (!call.answered()) {
    ParamList none;
    call.send(none);
  }
}

}  // namespace r3sim

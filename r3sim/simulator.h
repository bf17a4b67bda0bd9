// The simulated system as one object: its database, the application server
// and gateway on one port (from our RFC library's partner side), the
// function modules and reports, and the background jobs.
#pragma once

#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <string>

#include "job_runner.h"
#include "module_registry.h"
#include "rfc_partner.h"

namespace r3sim {

struct SimulatorOptions {
  std::string host = "127.0.0.1";
  int port = 3300;
  std::string db;
  std::string ns = "/QOR/";
  std::string sysid;  // empty: the database's setting
  std::string sysnr = "00";
  int64_t bookings = 100000;
};

class Simulator {
 public:
  // Opens the database, creating and seeding it when the file is missing.
  explicit Simulator(SimulatorOptions options);
  ~Simulator();
  Simulator(const Simulator &) = delete;
  Simulator &operator=(const Simulator &) = delete;

  // Starts listening; returns the port bound. Throws std::runtime_error.
  int start();
  // Ends the jobs, sessions and registrations in order.
  void stop();

  const SimulatorOptions &options() const { return options_; }
  int port() const { return port_; }
  const ModuleRegistry &registry() const { return registry_; }
  JobRunner &jobs() { return *jobs_; }
  // Application server name as messages show it: host_SID_NN.
  std::string server_name(SqliteDb &db) const;
  // A conversation with the oldest ready program registered under progid.
  RFC_HANDLE open_gateway(const std::string &progid, RFC_ERROR_INFO_EX *error);
  void count_registrations(const std::string &progid, int *ninit, int *nready, int *nbusy);
  // Runs one call: faults first, then the module of its name. Sessions
  // use it, and jobs whose registered partner calls back into the system.
  void dispatch(Call &call);

 private:
  // Library hooks; ctx is the simulator.
  static int on_logon(void *ctx, const RFCP_LOGON *logon, RFC_ERROR_INFO_EX *error);
  static void on_session(void *ctx, RFC_HANDLE handle, const RFCP_LOGON *logon);
  SimulatorOptions options_;
  ModuleRegistry registry_;
  std::unique_ptr<JobRunner> jobs_;
  // Guards server_ against jobs opening conversations while stop() ends it.
  std::shared_mutex server_mutex_;
  RFCP_SERVER *server_ = nullptr;
  int port_ = 0;
};

}  // namespace r3sim

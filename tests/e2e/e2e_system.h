// A whole system for an end-to-end test: r3sim with its own database and
// qorrfc_server in the foreground, each on a free loopback port, both
// stopped at the end of the test (also when it fails), when their logs
// are checked for sanitizer reports.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "logon_options.h"
#include "main_session.h"
#include "r3sim_process.h"

namespace e2e {

// How the server process is started beyond its command line.
struct ServerSetup {
  std::map<std::string, std::string> env;  // added to the test's environment
  int descriptor_limit = 0;                // soft and hard; 0 leaves the test's
  // Threads the server may run (soft and hard), 0 for no limit. The limit
  // counts every thread of a user, so the server then runs under a user id
  // of its own (only a test run by root can do that).
  int thread_limit = 0;
};

class E2eSystem {
 public:
  // server_args and r3sim_args are added to the command lines (e.g. -V
  // VARIANT for the server, --ns for r3sim).
  explicit E2eSystem(int debug_level = 1, std::vector<std::string> server_args = {},
                     std::vector<std::string> r3sim_args = {});
  E2eSystem(int debug_level, std::vector<std::string> server_args, const ServerSetup &setup);
  // A further server of its own against the r3sim of another system.
  E2eSystem(const E2eSystem &same_r3sim, int debug_level, std::vector<std::string> server_args);
  ~E2eSystem();

  r3simtest::R3simProcess &r3sim() { return *r3sim_; }
  qtest::ChildProcess &server() { return *server_; }
  int server_port() const { return server_port_; }

  // Logon data that r3sim accepts (client 800, user DEMO).
  qorclient::LogonOptions logon() const;
  // A new main-port connection whose handle record has been read.
  std::unique_ptr<qorclient::MainSession> open();
  // Sends one request on a new connection and returns every reply line
  // until the server closes it: for requests that must fail.
  std::vector<std::string> failing_request(const std::string &request);
  // Logs on with the given element and returns the first reply line.
  std::string connect(const std::string &element);
  // The server's pid file (it exists while the server runs).
  std::string pid_file() const { return dir_.file(name_ + ".pid"); }
  // The server's log so far.
  std::string log() const { return server_->stderr_text(); }
  // "KIND FUNCNAME|DETAIL|RESULT" of r3sim's call-log rows after `after`.
  std::vector<std::string> calls(int64_t after = 0);
  int64_t last_call();

 private:
  void start_server(int debug_level, const std::vector<std::string> &server_args,
                    const ServerSetup &setup = ServerSetup());

  std::shared_ptr<r3simtest::R3simProcess> r3sim_;
  qtest::TempDir dir_;
  std::unique_ptr<qtest::ChildProcess> server_;
  int server_port_ = 0;
  std::string name_;
};

// Lines that begin with the prefix.
std::vector<std::string> starting_with(const std::vector<std::string> &lines,
                                       const std::string &prefix);

}  // namespace e2e

// An r3sim process for a test: its own database in a temporary folder, a
// free loopback port, stopped (and checked for sanitizer reports) when the
// test ends, also when it fails.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "saprfc.h"
#include "sqlite_db.h"

namespace r3simtest {

class R3simProcess {
 public:
  // Starts r3sim with a small demo database and waits until it is ready.
  explicit R3simProcess(std::vector<std::string> extra_args = {});
  ~R3simProcess();

  int port() const { return port_; }
  const std::string &db_path() const { return db_path_; }
  qtest::ChildProcess &process() { return *process_; }
  // A connection to the database, for plain SQL while r3sim runs.
  r3sim::SqliteDb &db();
  std::string connect_string(const std::string &client = "800", const std::string &user = "DEMO",
                             const std::string &password = "welcome1") const;
  // Logs on as DEMO; fails the test when refused.
  RFC_HANDLE logon();
  // Kills the process at once, as a crash would.
  void kill();
  // Starts r3sim again on the same port and database (after kill) and
  // waits until it is ready.
  void restart();

 private:
  void start();

  qtest::TempDir dir_;
  std::string db_path_;
  std::vector<std::string> argv_;
  std::unique_ptr<qtest::ChildProcess> process_;
  std::unique_ptr<r3sim::SqliteDb> db_;
  int port_ = 0;
};

// Text of a fixed-width buffer without trailing blanks.
std::string text(const char *buf, size_t n);

}  // namespace r3simtest

// A qorrfc_server process for a test: foreground (-d N >= 1, log on
// standard error), its own work directory and service name, free loopback
// ports. It is stopped at destruction, and its log must then hold no
// sanitizer report.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "loopback.h"

namespace qtest {

inline std::string unique_name() {
  static std::atomic<int> counter{0};
  return "t" + std::to_string(getpid()) + "_" + std::to_string(counter++);
}

class ServerUnderTest {
 public:
  // Starts the server with -d debug, -w, -n, -p port (a free one when 0)
  // and the extra arguments; waits until the main port accepts unless
  // wait is false.
  explicit ServerUnderTest(std::vector<std::string> extra = {}, int debug = 1, int port = 0,
                           bool wait = true, std::string name = "")
      : name_(name.empty() ? unique_name() : name), port_(port ? port : free_port()) {
    std::vector<std::string> argv = {bin("qorrfc_server"), "-d", std::to_string(debug), "-w",
                                     dir_.path(), "-n", name_, "-p", std::to_string(port_)};
    argv.insert(argv.end(), extra.begin(), extra.end());
    proc_ = std::make_unique<ChildProcess>(argv);
    if (wait) ready_ = wait_for_port(port_);
  }
  ~ServerUnderTest() {
    if (proc_->running()) proc_->stop(SIGTERM);
    EXPECT_EQ(sanitizer_report(proc_->stderr_text()), "");
  }

  bool ready() const { return ready_; }
  int port() const { return port_; }
  const std::string &name() const { return name_; }
  const TempDir &dir() const { return dir_; }
  std::string pid_file() const { return dir_.file(name_ + ".pid"); }
  ChildProcess &proc() { return *proc_; }

 private:
  TempDir dir_;
  std::string name_;
  int port_;
  bool ready_ = false;
  std::unique_ptr<ChildProcess> proc_;
};

}  // namespace qtest

// A program started by a test, in a process group of its own, with its
// standard output and error captured in files. The destructor kills the
// whole group and reaps the child, so a failing test never leaves a
// process behind.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace qtest {

// Path of a built program: QORRFC_BIN_DIR/name.
std::string bin(const std::string &name);

class ChildProcess {
 public:
  // Starts argv[0] with the arguments; env entries are added to (or replace
  // entries of) the test's environment. cwd empty: the test's own.
  explicit ChildProcess(std::vector<std::string> argv,
                        std::map<std::string, std::string> env = {},
                        std::string cwd = "");
  ~ChildProcess();
  ChildProcess(const ChildProcess &) = delete;
  ChildProcess &operator=(const ChildProcess &) = delete;

  pid_t pid() const { return pid_; }

  // Waits until the captured stdout (or stderr) holds the text; false when
  // the time runs out or the process ends first without printing it.
  bool wait_for_stdout(const std::string &text,
                       std::chrono::milliseconds timeout = std::chrono::seconds(20));
  bool wait_for_stderr(const std::string &text,
                       std::chrono::milliseconds timeout = std::chrono::seconds(20));

  // Waits for the process to end; returns its wait status or -1 on time-out.
  int wait_exit(std::chrono::milliseconds timeout = std::chrono::seconds(20));
  bool running();

  // Sends sig to the process (not its group).
  void signal(int sig);
  // Sends sig, then waits for the exit; kills the group on time-out.
  int stop(int sig = 15, std::chrono::milliseconds timeout = std::chrono::seconds(10));

  std::string stdout_text() const;
  std::string stderr_text() const;

 private:
  bool wait_for(const std::string &file, const std::string &text,
                std::chrono::milliseconds timeout);
  void reap(bool block);

  pid_t pid_ = -1;
  int status_ = -1;
  bool exited_ = false;
  std::string dir_;
  std::string out_path_, err_path_;
};

// Exit code of a wait status, or -1 when the process did not exit normally.
int exit_code(int status);

// Text of sanitizer reports (AddressSanitizer, UndefinedBehaviorSanitizer,
// ThreadSanitizer, LeakSanitizer) found in a log, or empty.
std::string sanitizer_report(const std::string &log);

// Whether this build (and so every program it built) runs under
// AddressSanitizer, which CI combines with UndefinedBehaviorSanitizer.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitizerBuild = true;
#elif defined(__has_feature)
constexpr bool kSanitizerBuild = __has_feature(address_sanitizer);
#else
constexpr bool kSanitizerBuild = false;
#endif

// A temporary folder, removed with its contents at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string &path() const { return path_; }
  std::string file(const std::string &name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace qtest

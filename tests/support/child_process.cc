#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace qtest {

std::string bin(const std::string &name) { return std::string(QORRFC_BIN_DIR) + "/" + name; }

namespace {
std::string read_file(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}
std::string make_temp_dir() {
  char tmpl[] = "/tmp/qorrfc-test-XXXXXX";
  if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
  return tmpl;
}
}  // namespace

TempDir::TempDir() : path_(make_temp_dir()) {}
TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

ChildProcess::ChildProcess(std::vector<std::string> argv,
                           std::map<std::string, std::string> env, std::string cwd) {
  dir_ = make_temp_dir();
  out_path_ = dir_ + "/stdout";
  err_path_ = dir_ + "/stderr";
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    setpgid(0, 0);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    int in = open("/dev/null", O_RDONLY);
    int out = open(out_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    for (auto &kv : env) setenv(kv.first.c_str(), kv.second.c_str(), 1);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    std::vector<char *> args;
    for (auto &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    dprintf(2, "exec %s: %s\n", args[0], strerror(errno));
    _exit(127);
  }
  setpgid(pid_, pid_);  // also from the parent, so the group exists at once
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    kill(-pid_, SIGKILL);
    if (!exited_) reap(true);
  }
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

void ChildProcess::reap(bool block) {
  if (exited_ || pid_ <= 0) return;
  int st = 0;
  pid_t r = waitpid(pid_, &st, block ? 0 : WNOHANG);
  if (r == pid_) {
    exited_ = true;
    status_ = st;
  }
}

bool ChildProcess::running() {
  reap(false);
  return !exited_;
}

bool ChildProcess::wait_for(const std::string &file, const std::string &text,
                            std::chrono::milliseconds timeout) {
  auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (read_file(file).find(text) != std::string::npos) return true;
    if (!running()) return read_file(file).find(text) != std::string::npos;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool ChildProcess::wait_for_stdout(const std::string &text, std::chrono::milliseconds t) {
  return wait_for(out_path_, text, t);
}
bool ChildProcess::wait_for_stderr(const std::string &text, std::chrono::milliseconds t) {
  return wait_for(err_path_, text, t);
}

int ChildProcess::wait_exit(std::chrono::milliseconds timeout) {
  auto end = std::chrono::steady_clock::now() + timeout;
  while (running()) {
    if (std::chrono::steady_clock::now() > end) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return status_;
}

void ChildProcess::signal(int sig) {
  if (running()) kill(pid_, sig);
}

int ChildProcess::stop(int sig, std::chrono::milliseconds timeout) {
  signal(sig);
  int st = wait_exit(timeout);
  if (st == -1) {
    kill(-pid_, SIGKILL);
    reap(true);
    return -1;
  }
  return st;
}

std::string ChildProcess::stdout_text() const { return read_file(out_path_); }
std::string ChildProcess::stderr_text() const { return read_file(err_path_); }

int exit_code(int status) {
  if (status >= 0 && WIFEXITED(status)) return WEXITSTATUS(status);
  return -1;
}

std::string sanitizer_report(const std::string &log) {
  static const char *marks[] = {"AddressSanitizer", "UndefinedBehaviorSanitizer",
                                "ThreadSanitizer", "LeakSanitizer", "runtime error:"};
  for (const char *m : marks) {
    auto at = log.find(m);
    if (at != std::string::npos) return log.substr(at > 200 ? at - 200 : 0, 4000);
  }
  return "";
}

}  // namespace qtest

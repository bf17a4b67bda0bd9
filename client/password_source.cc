#include "password_source.h"

#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace qorclient {

namespace {

// The terminal's settings while the prompt has echo switched off; a
// signal that ends the program must not leave the user's terminal silent.
struct termios saved_terminal;
volatile sig_atomic_t echo_off = 0;

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};

void restore_and_raise(int sig) {
  if (echo_off) tcsetattr(STDIN_FILENO, TCSANOW, &saved_terminal);
  echo_off = 0;
  // Stopping (Ctrl-Z) would leave echo on after the prompt resumes: end
  // the prompt the way Ctrl-C does instead.
  if (sig == SIGTSTP) sig = SIGINT;
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

std::string without_line_end(std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

}  // namespace

const char *const PasswordSource::kVariable = "QORCLI_PASSWORD";

std::string PasswordSource::privacy_problem(const std::string &path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return "cannot read " + path + ": " + std::strerror(errno);
  if (st.st_uid != ::getuid() && st.st_uid != 0)
    return path + " belongs to another user; a file holding a password must be your own";
  if ((st.st_mode & 077) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return path + " is open to other users (mode " + mode +
           "); a file holding a password must be private: chmod 600 " + path;
  }
  return "";
}

bool PasswordSource::from_file(const std::string &path, std::string &password, std::string &why) {
  why = privacy_problem(path);
  if (!why.empty()) return false;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line) || without_line_end(line).empty()) {
    why = path + " holds no password on its first line";
    return false;
  }
  password = without_line_end(line);
  return true;
}

bool PasswordSource::from_environment(std::string &password) {
  const char *v = std::getenv(kVariable);
  if (!v) return false;
  password = v;
  return true;
}

bool PasswordSource::can_prompt() { return ::isatty(STDIN_FILENO) == 1; }

bool PasswordSource::prompt(const std::string &text, std::string &password) {
  bool quiet = tcgetattr(STDIN_FILENO, &saved_terminal) == 0;
  struct sigaction old[sizeof kSignals / sizeof kSignals[0]];
  if (quiet) {
    struct sigaction sa {};
    sa.sa_handler = restore_and_raise;
    sigemptyset(&sa.sa_mask);
    for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
      sigaction(kSignals[i], &sa, &old[i]);
    struct termios silent = saved_terminal;
    silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    silent.c_lflag |= ICANON;
    echo_off = 1;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
  }
  // Asked only once echo is off: what the user types after seeing the
  // prompt must never appear.
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
  // Read byte by byte: stdio's buffer would take input meant for later.
  std::string line;
  bool ended = false;
  char c;
  for (;;) {
    ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (c == '\n') {
      ended = true;
      break;
    }
    line += c;
  }
  if (quiet) {
    tcsetattr(STDIN_FILENO, TCSANOW, &saved_terminal);
    echo_off = 0;
    for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
      sigaction(kSignals[i], &old[i], nullptr);
  }
  // The user's Enter was not echoed.
  std::fputc('\n', stderr);
  if (!ended && line.empty()) return false;
  password = without_line_end(line);
  return true;
}

}  // namespace qorclient

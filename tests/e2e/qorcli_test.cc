// qorcli as its users meet it, against a whole system: where the password
// and the logon options come from, how the system information and the
// errors are shown, the versions, and the demo.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "e2e_system.h"
#include "password_encoder.h"
#include "loopback.h"

extern char **environ;

using e2e::E2eSystem;

namespace {

struct CliRun {
  int code;
  std::string out, err;
};

// A user's own settings must not reach the programs under test.
void forget_user_settings() {
  ::unsetenv("QORCLI_PASSWORD");
  ::unsetenv("QORCLI_DESTINATIONS");
}

CliRun run(std::vector<std::string> args, std::map<std::string, std::string> env = {}) {
  forget_user_settings();
  args.insert(args.begin(), qtest::bin("qorcli"));
  qtest::ChildProcess p(args, env);
  int status = p.wait_exit(std::chrono::seconds(60));
  return {qtest::exit_code(status), p.stdout_text(), p.stderr_text()};
}

// The logon options of the system, without the password.
std::vector<std::string> logon_args(E2eSystem &sys, const std::string &command) {
  qorclient::LogonOptions l = sys.logon();
  return {command,  "--server", "127.0.0.1:" + std::to_string(sys.server_port()),
          "--ashost", l.ashost, "--sysnr", l.sysnr, "--gwserv", l.gwserv, "--client", l.client,
          "--user", l.user, "--lang", l.lang};
}

std::vector<std::string> plus(std::vector<std::string> a, const std::vector<std::string> &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::string write_file(const std::string &path, const std::string &text, mode_t mode) {
  std::ofstream(path) << text;
  ::chmod(path.c_str(), mode);
  return path;
}

// A program on a pseudo-terminal of its own, as a user at a terminal runs
// it: standard input, output and error are the terminal. Killed and reaped
// at the end, also when the test fails.
class OnTerminal {
 public:
  explicit OnTerminal(const std::vector<std::string> &argv) {
    std::vector<char *> args;
    for (const auto &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    forget_user_settings();
    pid_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      execve(args[0], args.data(), environ);
      _exit(127);
    }
  }
  ~OnTerminal() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) ::close(master_);
  }

  // Reads what the program writes until the screen holds the text.
  bool wait_for(const std::string &text, std::chrono::seconds limit = std::chrono::seconds(30)) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (screen_.find(text) == std::string::npos) {
      if (std::chrono::steady_clock::now() > end || !read_some(end)) return false;
    }
    return true;
  }
  void type(const std::string &text) { ASSERT_EQ(::write(master_, text.data(), text.size()), ssize_t(text.size())); }
  // Reads to the end of the output and returns the exit code (-1: none).
  int wait_exit(std::chrono::seconds limit = std::chrono::seconds(60)) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (read_some(end)) {
    }
    int status = 0;
    while (std::chrono::steady_clock::now() < end) {
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return qtest::exit_code(status);
      }
      pollfd none{-1, 0, 0};
      ::poll(&none, 0, 20);
    }
    return -1;
  }
  const std::string &screen() const { return screen_; }

 private:
  // False at the end of the output (the terminal's other side closed).
  bool read_some(std::chrono::steady_clock::time_point end) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    pollfd p{master_, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) != 1) return false;
    char buf[4096];
    ssize_t n = ::read(master_, buf, sizeof buf);
    if (n <= 0) return false;
    screen_.append(buf, static_cast<size_t>(n));
    return true;
  }

  pid_t pid_ = -1;
  int master_ = -1;
  bool exited_ = false;
  std::string screen_;
};

}  // namespace

TEST(E2eQorcli, AtATerminalItAsksForThePasswordAndLabelsTheSystemInformation) {
  E2eSystem sys;
  std::vector<std::string> argv = logon_args(sys, "info");
  argv.insert(argv.begin(), qtest::bin("qorcli"));
  OnTerminal cli(argv);
  ASSERT_TRUE(cli.wait_for("Password for user DEMO: ")) << cli.screen();
  cli.type(sys.logon().password + "\n");
  EXPECT_EQ(cli.wait_exit(), 0) << cli.screen();
  EXPECT_EQ(cli.screen().find(sys.logon().password), std::string::npos)
      << "the password was echoed:\n" << cli.screen();
  // Terminals turn line feeds into CR LF.
  EXPECT_NE(cli.screen().find("\r\nsystem id         QR1\r\n"), std::string::npos) << cli.screen();
  EXPECT_NE(cli.screen().find("\r\nprogram prefix    /QOR/\r\n"), std::string::npos) << cli.screen();

  // End of input at the prompt: no logon without a password.
  OnTerminal none(argv);
  ASSERT_TRUE(none.wait_for("Password for user DEMO: ")) << none.screen();
  none.type("\x04");
  EXPECT_EQ(none.wait_exit(), 2) << none.screen();
  EXPECT_NE(none.screen().find("no password was entered"), std::string::npos) << none.screen();
}

TEST(E2eQorcli, InfoPrintsTheLineAsItCameOrAsJson) {
  E2eSystem sys;
  std::string line = sys.connect(qorclient::connect_element(sys.logon()));
  std::vector<std::string> info = plus(logon_args(sys, "info"), {"--password", sys.logon().password});
  CliRun raw = run(plus(info, {"--raw"}));
  ASSERT_EQ(raw.code, 0) << raw.err;
  EXPECT_EQ(raw.out, line + "\n");
  CliRun json = run(plus(info, {"--json"}));
  ASSERT_EQ(json.code, 0) << json.err;
  EXPECT_EQ(json.out.rfind("{\"system_id\":\"QR1\",\"host\":\"", 0), 0u) << json.out;
  EXPECT_NE(json.out.find(",\"code_page\":\"1100\","), std::string::npos) << json.out;
  EXPECT_NE(json.out.find(",\"program_prefix\":\"/QOR/\",\"character_size\":\"1\"}\n"),
            std::string::npos)
      << json.out;
}

TEST(E2eQorcli, ThePasswordFromTheEnvironmentOrAPrivateFileOnly) {
  E2eSystem sys;
  qtest::TempDir dir;
  const std::string password = sys.logon().password;
  std::vector<std::string> info = plus(logon_args(sys, "info"), {"--raw"});

  CliRun env = run(info, {{"QORCLI_PASSWORD", password}});
  EXPECT_EQ(env.code, 0) << env.err;

  std::string good = write_file(dir.file("good"), password + "\n", 0600);
  CliRun file = run(plus(info, {"--password-file", good}), {{"QORCLI_PASSWORD", "wrong"}});
  EXPECT_EQ(file.code, 0) << file.err;

  std::string open = write_file(dir.file("open"), password + "\n", 0644);
  CliRun refused = run(plus(info, {"--password-file", open}));
  EXPECT_EQ(refused.code, 2);
  EXPECT_EQ(refused.err, "qorcli: " + open + " is open to other users (mode 0644); a file holding a "
                         "password must be private: chmod 600 " + open + "\n");
  CliRun both = run(plus(info, {"--password-file", good, "--password", password}));
  EXPECT_EQ(both.code, 2);
}

TEST(E2eQorcli, DestinationsNameTheLogonAndTheCommandLineWins) {
  E2eSystem sys;
  qtest::TempDir dir;
  qorclient::LogonOptions l = sys.logon();
  std::string entry = "[QR1]\nserver = 127.0.0.1:" + std::to_string(sys.server_port()) +
                      "\nashost = " + l.ashost + "\nsysnr = " + l.sysnr + "\ngwserv = " + l.gwserv +
                      "\nclient = " + l.client + "\nuser = NOBODY\nlang = " + l.lang +
                      "\npassword = " + l.password + "\n";
  std::string priv = write_file(dir.file("private"), entry, 0600);
  CliRun named = run({"info", "--dest", "qr1", "--user", "DEMO", "--raw"}, {{"QORCLI_DESTINATIONS", priv}});
  EXPECT_EQ(named.code, 0) << named.err;
  EXPECT_EQ(named.out, sys.connect(qorclient::connect_element(l)) + "\n");
  CliRun select = run({"select", "--dest", "QR1", "--user", "DEMO", "--table", "SCARR", "--fields",
                       "CARRID", "--where", "CARRID EQ 'QA'"},
                      {{"QORCLI_DESTINATIONS", priv}});
  EXPECT_EQ(select.code, 0) << select.err;
  EXPECT_EQ(select.out, "CARRID\nQA\n");

  // From a file others can read the password is not taken.
  std::string shared = write_file(dir.file("shared"), entry, 0644);
  CliRun guarded = run({"info", "--dest", "QR1", "--user", "DEMO"}, {{"QORCLI_DESTINATIONS", shared}});
  EXPECT_EQ(guarded.code, 1);
  EXPECT_EQ(guarded.err.rfind("qorcli: the password of destination QR1 is not used: " + shared +
                                  " is open to other users",
                              0),
            0u)
      << guarded.err;

  CliRun unknown = run({"info", "--dest", "QR2"}, {{"QORCLI_DESTINATIONS", priv}});
  EXPECT_EQ(unknown.code, 2);
  EXPECT_EQ(unknown.err, "qorcli: no destination QR2 in " + priv + "\n");
}

TEST(E2eQorcli, ErrorsSayWhatToCheckNext) {
  E2eSystem sys;
  int nobody = qtest::free_port();
  CliRun refused = run({"info", "--server", "127.0.0.1:" + std::to_string(nobody), "--password", "x"});
  EXPECT_EQ(refused.code, 3);
  EXPECT_EQ(refused.err, "qorcli: cannot connect to 127.0.0.1:" + std::to_string(nobody) +
                             ": Connection refused (nothing listens there: is the server running, "
                             "and on that port?)\n");

  std::vector<std::string> wrong = plus(logon_args(sys, "info"), {"--password", "nope"});
  CliRun brief = run(wrong);
  EXPECT_EQ(brief.code, 1);
  EXPECT_EQ(brief.err,
            "qorcli: the logon failed: Name or password is incorrect (repeat logon) (RFC error "
            "group 103, RFC_ERROR_LOGON_FAILURE)\nqorcli: -v shows the server's whole report\n");
  CliRun full = run(plus(wrong, {"-v"}));
  EXPECT_EQ(full.code, 1);
  EXPECT_EQ(full.err.rfind("E,RFC Error:\nE,Error Group: 103\nE,Key        : RFC_ERROR_LOGON_FAILURE\n", 0), 0u)
      << full.err;
}

TEST(E2eQorcli, ProgramsPrintTheirVersion) {
  CliRun qorcli = run({"--version"});
  EXPECT_EQ(qorcli.code, 0);
  EXPECT_EQ(qorcli.out, std::string("qorcli ") + QORRFC_VERSION + "\n");
  qtest::ChildProcess rfcinfo({qtest::bin("rfcinfo"), "--version"});
  EXPECT_EQ(qtest::exit_code(rfcinfo.wait_exit()), 0);
  EXPECT_EQ(rfcinfo.stdout_text(), std::string("rfcinfo ") + QORRFC_VERSION + "\n");
}

TEST(E2eQorcli, EncodePasswordNeedNotShowThePassword) {
  CliRun env = run({"encode-password"}, {{"QORCLI_PASSWORD", "welcome1"}});
  EXPECT_EQ(env.code, 0) << env.err;
  // The text begins with the offset it was encoded with, drawn at random.
  ASSERT_GE(env.out.size(), 3u);
  unsigned offset = static_cast<unsigned>(std::stoul(env.out.substr(0, 2), nullptr, 16));
  EXPECT_EQ(env.out, qorclient::encode_password("welcome1", offset) + "\n");
  CliRun none = run({"encode-password"});  // no terminal to ask on
  EXPECT_EQ(none.code, 2);
  EXPECT_EQ(none.out, "");
}

TEST(E2eQorcli, TheDemoRunsCleanly) {
  int r3port = qtest::free_port(), port = qtest::free_port();
  std::string bin = qtest::bin("qorcli");
  bin = bin.substr(0, bin.rfind('/'));
  qtest::ChildProcess demo({"/bin/bash", QORRFC_SOURCE_DIR "/scripts/demo.sh"},
                           {{"QORRFC_BIN_DIR", bin},
                            {"QORRFC_DEMO_R3_PORT", std::to_string(r3port)},
                            {"QORRFC_DEMO_PORT", std::to_string(port)},
                            {"QORRFC_DEMO_KEEP", "0"}});
  ASSERT_EQ(qtest::exit_code(demo.wait_exit(std::chrono::seconds(240))), 0)
      << demo.stdout_text() << demo.stderr_text();
  std::string out = demo.stdout_text() + demo.stderr_text();
  EXPECT_NE(out.find(" starting\n"), std::string::npos) << out;
  EXPECT_NE(out.find(" flights in all"), std::string::npos) << out;
  EXPECT_NE(out.find(" stopping\n"), std::string::npos) << out;
  for (const char *bad : {"Error", "ERROR", "error"})
    EXPECT_EQ(out.find(bad), std::string::npos) << out;
}

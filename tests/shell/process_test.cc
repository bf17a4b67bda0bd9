// The server as a process: command line errors, foreground run and pid
// file, -k, per-port locks, stopping, and the library version block.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include <fstream>
#include <sstream>
#include <string>

#include "server_under_test.h"
#include "text_match.h"

namespace {

using namespace std::chrono_literals;

std::string usage_text(const std::string &program) {
  return "Usage: " + program +
         " -dN -k -n name -p port -w workdir -V variant -N ns -c port -b \"bparms\" -B "
         "min_bufsize -U unlimited_dialog\n"
         "  -d: Debug; run as a regular application.  If not\n"
         "      present, the program will run as a daemon process.\n"
         "      MVS only: a value of STC is used to run as a \n"
         "      started task, respecting the MVS STOP command.\n"
         "  -k: Kill the service\n"
         "  -n: name of the service.\n"
         "      (Used to distinguish multiple daemons.\n"
         "       For example, start a test server with '-n test').\n"
         "  -p: Port number on which the server listens.\n"
         "  -w: Working directory.  Used for .pid and .conf files.\n"
         "  -V: R/3 report variant assigned to this server.\n"
         "      (Required for batch operation.)\n"
         "  -N: R/3 namespace for ABAP objects.\n"
         "  -c: Dialog compatibility port.\n"
         "  -b: Parameters for batch compatibility (optional).\n"
         "      (Example: -b \"-p 6995 -R ZQORRDBT -V MYVAR1\")\n"
         "  -B: Minimum buffer size for RFC data transfers.\n"
         "      (Should be a number greater than 10000\n"
         "       and less than 99999999.)\n"
         "  -U: Extract unlimited records in dialog mode\n"
         "      unlimited_dialog = 0 or n or N\n"
         "                            enforce the limit (default)\n"
         "      unlimited_dialog = 1 or y or Y\n"
         "                            do not enforce limit (old style)\n";
}

std::string read_file(const std::string &path) {
  std::ifstream in(path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

// Runs the program with args to its end; returns the exit code.
int run(std::vector<std::string> args, std::string *err = nullptr) {
  args.insert(args.begin(), qtest::bin("qorrfc_server"));
  qtest::ChildProcess p(args);
  int code = qtest::exit_code(p.wait_exit());
  if (err) *err = p.stderr_text();
  EXPECT_EQ(qtest::sanitizer_report(p.stderr_text()), "");
  return code;
}

bool serves(int port) {
  qtest::Conn c;
  return c.connect(port) && c.read_exact(130).size() == 130;
}

TEST(ServerProcess, UsageErrorsPrintTheUsageAndExitWithOne) {
  const std::string usage = usage_text(qtest::bin("qorrfc_server"));
  struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"-d", "0"}, ""},
      {{"-p", "0"}, ""},
      {{"-c", "-3"}, ""},
      {{"-U", "yes"}, "-U value invalid\n"},
      {{"-b", "-R zrep"}, "batch compatibility variant must be specified\n"},
      {{"-x"}, ""},
      {{"-p"}, ""},
  };
  for (auto &c : cases) {
    std::string err;
    EXPECT_EQ(run(c.args, &err), 1) << c.args[0];
    EXPECT_EQ(err, c.message + usage) << c.args[0];
  }
}

TEST(ServerProcess, ForegroundRunWritesPidFileAndRemovesItAtStop) {
  qtest::ServerUnderTest server;
  ASSERT_TRUE(server.ready());
  // The server leads its own process group here, so the group id is its pid.
  EXPECT_EQ(read_file(server.pid_file()), std::to_string(server.proc().pid()));
  EXPECT_EQ(qtest::exit_code(server.proc().stop(SIGINT)), 0);
  EXPECT_FALSE(exists(server.pid_file()));
  const std::string log = server.proc().stderr_text();
  // Every log line begins with the date, the process and the thread id.
  const std::string line = "#-#-# #:#:#.#(#|#) ";
  EXPECT_TRUE(qtest::contains_match(log, line + "qorrfc_service 4.1 2005-08-12 starting\n")) << log;
  EXPECT_TRUE(qtest::contains_match(log, line + "qorrfc_service 4.1 2005-08-12 stopping\n")) << log;
}

// The work directory may be writable by others while the server runs as
// root: a link planted at the pid file's path must never be written
// through, read for -k, or removed at the stop in place of the server's own.
TEST(ServerProcess, PidFileIsNeverWrittenOrReadThroughALink) {
  qtest::TempDir dir;
  const std::string victim = dir.file("victim");
  std::ofstream(victim) << "precious";
  const std::string linked = qtest::unique_name(), dangling = qtest::unique_name();
  ASSERT_EQ(symlink(victim.c_str(), dir.file(linked + ".pid").c_str()), 0);
  ASSERT_EQ(symlink(dir.file("absent").c_str(), dir.file(dangling + ".pid").c_str()), 0);
  for (const std::string &name : {linked, dangling}) {
    const std::string path = dir.file(name + ".pid");
    qtest::ServerUnderTest server({"-w", dir.path()}, 1, 0, true, name);
    ASSERT_TRUE(server.ready());
    EXPECT_TRUE(server.proc().wait_for_stderr("Refusing pid file <" + path +
                                              ">: it is a symbolic link\n"));
    std::string err;
    EXPECT_EQ(run({"-k", "-n", name, "-w", dir.path()}, &err), 0);
    EXPECT_NE(err.find("Refusing pid file <" + path + ">"), std::string::npos) << err;
    EXPECT_TRUE(server.proc().running()) << "-k signalled through a link";
    EXPECT_EQ(qtest::exit_code(server.proc().stop(SIGTERM)), 0);
    char target[256] = {0};
    EXPECT_GT(readlink(path.c_str(), target, sizeof target - 1), 0) << "the link was removed";
  }
  EXPECT_EQ(read_file(victim), "precious");
  EXPECT_FALSE(exists(dir.file("absent")));
  // Nothing but the pid files' paths and the victim: no temporary file left.
  EXPECT_EQ(std::system(("test $(ls -A " + dir.path() + " | wc -l) -eq 3").c_str()), 0);
}

TEST(ServerProcess, StopRemovesOnlyThePidFileItWrote) {
  qtest::TempDir dir;
  const std::string name = qtest::unique_name(), path = dir.file(name + ".pid");
  // A stale file from an earlier run is replaced, whatever it held.
  std::ofstream(path) << "123456789012345";
  qtest::ServerUnderTest server({"-w", dir.path()}, 1, 0, true, name);
  ASSERT_TRUE(server.ready());
  EXPECT_EQ(read_file(path), std::to_string(server.proc().pid()));
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  // Someone else's file now stands at the path: the stop leaves it there.
  ASSERT_EQ(unlink(path.c_str()), 0);
  std::ofstream(path) << "another";
  EXPECT_EQ(qtest::exit_code(server.proc().stop(SIGTERM)), 0);
  EXPECT_EQ(read_file(path), "another");
}

// An administrator may restrict every port to one address; unset, they
// listen on every local interface.
TEST(ServerProcess, BindAddressRestrictsEveryPort) {
  qtest::TempDir dir;
  const int port = qtest::free_port(), compat = qtest::free_port();
  qtest::ChildProcess server(
      {qtest::bin("qorrfc_server"), "-d", "1", "-w", dir.path(), "-n", qtest::unique_name(), "-p",
       std::to_string(port), "-c", std::to_string(compat)},
      {{"QORRFC_BIND_ADDRESS", "127.0.0.2"}});
  ASSERT_TRUE(qtest::wait_for_port(port, 20s, "127.0.0.2"));
  qtest::Conn c;
  ASSERT_TRUE(c.connect(compat, "127.0.0.2"));
  EXPECT_EQ(c.read_line().substr(0, 7), "HANDLE ");
  EXPECT_FALSE(c.connect(port, "127.0.0.1"));
  EXPECT_FALSE(c.connect(compat, "127.0.0.1"));
  EXPECT_EQ(qtest::exit_code(server.stop(SIGTERM)), 0);

  qtest::ServerUnderTest everywhere;
  ASSERT_TRUE(everywhere.ready());
  EXPECT_TRUE(qtest::wait_for_port(everywhere.port(), 5s, "127.0.0.2"));

  qtest::ChildProcess wrong({qtest::bin("qorrfc_server"), "-d", "1", "-w", dir.path(), "-n",
                             qtest::unique_name(), "-p", std::to_string(qtest::free_port())},
                            {{"QORRFC_BIND_ADDRESS", "127.0.0.300"}});
  EXPECT_EQ(qtest::exit_code(wrong.wait_exit(20s)), 0);
  EXPECT_NE(wrong.stderr_text().find("QORRFC_BIND_ADDRESS <127.0.0.300> is not an IPv4 address"),
            std::string::npos)
      << wrong.stderr_text();
}

TEST(ServerProcess, KillOptionStopsTheNamedServer) {
  qtest::ServerUnderTest server;
  ASSERT_TRUE(server.ready());
  EXPECT_EQ(run({"-k", "-n", server.name(), "-w", server.dir().path()}), 0);
  EXPECT_EQ(qtest::exit_code(server.proc().wait_exit(10s)), 0);
  EXPECT_FALSE(exists(server.pid_file()));

  std::string err;
  EXPECT_EQ(run({"-k", "-n", "nosuchserver", "-w", server.dir().path()}, &err), 0);
  EXPECT_NE(err.find("Cannot open file <" + server.dir().file("nosuchserver.pid") + ">"),
            std::string::npos)
      << err;
}

TEST(ServerProcess, DaemonModeDetachesAndStopsWithKill) {
  qtest::TempDir dir;
  const std::string name = qtest::unique_name();
  const std::string pid_file = dir.file(name + ".pid");
  const int port = qtest::free_port();
  // The daemon leaves the test's process group; stop it through its pid
  // file whatever happens below.
  struct Guard {
    std::string pid_file;
    ~Guard() {
      int pgid = std::atoi(read_file(pid_file).c_str());
      if (pgid > 1) kill(-pgid, SIGKILL);
    }
  } guard{pid_file};
  EXPECT_EQ(run({"-w", dir.path(), "-n", name, "-p", std::to_string(port)}), 0);
  ASSERT_TRUE(qtest::wait_for_port(port));
  EXPECT_TRUE(serves(port));
  const std::string pgid = read_file(pid_file);
  ASSERT_GT(std::atoi(pgid.c_str()), 1);
  EXPECT_EQ(getpgid(std::atoi(pgid.c_str())), std::atoi(pgid.c_str()));  // a session of its own
  EXPECT_EQ(run({"-k", "-w", dir.path(), "-n", name}), 0);
  auto end = std::chrono::steady_clock::now() + 10s;
  while (exists(pid_file) && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(exists(pid_file));
}

TEST(ServerProcess, PortLockRefusesASecondServer) {
  int compat = qtest::free_port();
  qtest::ServerUnderTest first({"-c", std::to_string(compat)});
  ASSERT_TRUE(first.ready());

  // Same main port.
  qtest::ServerUnderTest same_main({}, 1, first.port(), false);
  EXPECT_EQ(qtest::exit_code(same_main.proc().wait_exit()), 0);
  EXPECT_TRUE(qtest::contains_match(same_main.proc().stderr_text(),
                                    "(#|#) Port " + std::to_string(first.port()) + " already in use\n"))
      << same_main.proc().stderr_text();

  // Another main port, the same dialog-compatibility port.
  qtest::ServerUnderTest same_compat({"-c", std::to_string(compat)}, 1, 0, false);
  EXPECT_EQ(qtest::exit_code(same_compat.proc().wait_exit()), 0);
  EXPECT_TRUE(qtest::contains_match(
      same_compat.proc().stderr_text(),
      "(#|#) Dialog compatibility port " + std::to_string(compat) + " already in use\n"))
      << same_compat.proc().stderr_text();

  EXPECT_TRUE(first.proc().running());
  EXPECT_TRUE(serves(first.port()));
}

// A server answers on its first port before its later ports are open; a
// second server started the moment that port answers must still find
// every lock of the first taken, and stop at once.
TEST(ServerProcess, PortsAnsweringMeanEveryPortLockIsHeld) {
  for (int round = 0; round < 3; ++round) {
    int compat = qtest::free_port(), bcompat = qtest::free_port();
    qtest::ServerUnderTest first(
        {"-c", std::to_string(compat), "-b", "-p " + std::to_string(bcompat) + " -V X"}, 1, 0,
        false);
    ASSERT_TRUE(qtest::wait_for_port(compat)) << first.proc().stderr_text();
    qtest::ServerUnderTest second({"-b", "-p " + std::to_string(bcompat) + " -V X"}, 1, 0, false);
    EXPECT_EQ(qtest::exit_code(second.proc().wait_exit(5s)), 0) << second.proc().stderr_text();
    EXPECT_TRUE(qtest::contains_match(
        second.proc().stderr_text(),
        "(#|#) Batch compatibility port " + std::to_string(bcompat) + " already in use\n"))
        << second.proc().stderr_text();
    EXPECT_TRUE(first.proc().running()) << first.proc().stderr_text();
  }
}

TEST(ServerProcess, KilledServerFreesItsPortLock) {
  int port;
  {
    qtest::ServerUnderTest victim;
    ASSERT_TRUE(victim.ready());
    port = victim.port();
    victim.proc().signal(SIGKILL);
    victim.proc().wait_exit();
  }
  qtest::ServerUnderTest successor({}, 1, port);
  ASSERT_TRUE(successor.ready());
  EXPECT_TRUE(serves(port));
  EXPECT_EQ(successor.proc().stderr_text().find("already in use"), std::string::npos);
}

TEST(ServerProcess, PortThatCannotBeBoundIsLoggedAndTheRestServed) {
  int taken = qtest::free_port();
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(taken));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
  ASSERT_EQ(listen(fd, 1), 0);
  qtest::ServerUnderTest server({"-c", std::to_string(taken)});
  ASSERT_TRUE(server.ready());
  EXPECT_TRUE(server.proc().wait_for_stderr("Cannot listen on port " + std::to_string(taken)));
  EXPECT_TRUE(serves(server.port()));
  close(fd);
}

TEST(ServerProcess, StopSignalEndsTheServerPromptlyWithAnIdleClient) {
  qtest::ServerUnderTest server;
  ASSERT_TRUE(server.ready());
  qtest::Conn idle(server.port());
  ASSERT_EQ(idle.read_exact(130).size(), 130u);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(qtest::exit_code(server.proc().stop(SIGTERM, 5s)), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms);
  EXPECT_TRUE(idle.wait_closed(1s));
}

TEST(ServerProcess, LibraryVersionBlockFromDebugLevelSix) {
  const char *start = "\n--Start of SAP library info";
  const char *end = "--End   of SAP library info\n";
  qtest::ServerUnderTest six({}, 6);
  ASSERT_TRUE(six.ready());
  EXPECT_TRUE(six.proc().wait_for_stderr(start));
  EXPECT_TRUE(six.proc().wait_for_stderr(end));
  qtest::ServerUnderTest five({}, 5);
  ASSERT_TRUE(five.ready());
  EXPECT_EQ(five.proc().stderr_text().find(start), std::string::npos);
}

}  // namespace

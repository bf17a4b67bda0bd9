// Starts r3sim with a generated table of 100-byte rows and qorrfc_server
// with a dialog-compatibility port (or with --batch a batch-compatibility
// port, whose extraction runs as r3sim's background job and reaches the
// server through the gateway), then, side by side in one run: extracts the
// table through the server (records of 100 bytes and a flag byte, read by
// the client library) and reads the same rows from r3sim by calling the
// dialog compatibility module directly through our RFC library, answering
// its callbacks in this process; three alternating rounds, the best time
// of each path counts. Prints MB/s of both and their ratio as
//   RESULT compat_dialog_w100 rows=N mb_per_s=X ratio_to_direct=R peak_rss_mb=M
// (compat_batch_w100 with --batch).
//
//   compat_bench [MiB [--batch [chunk bytes]]]   (default 256 MiB; chunks
//                                                 of 1048576 bytes)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "call_lists.h"
#include "compat_session.h"
#include "password_encoder.h"
#include "sapitab.h"
#include "saprfc.h"
#include "sqlite_db.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr unsigned kWidth = 100;
const char kModule[] = "/QOR/Z_QOR_READ_TABLE_V8COMPAT";

std::string own_dir() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string p(path, n > 0 ? static_cast<size_t>(n) : 0);
  return p.substr(0, p.rfind('/'));
}

// Runs a program of the build in its own process group; stdout to a pipe
// whose first line is returned through ready (when asked for).
pid_t start(const std::vector<std::string> &argv, std::string *ready) {
  int out[2];
  if (pipe(out) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    dup2(out[1], 1);
    close(out[0]);
    // The log of a long run is not what is measured.
    int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, 2);
    std::vector<char *> args;
    for (const auto &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(out[1]);
  if (ready) {
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') *ready += c;
  }
  close(out[0]);
  return pid;
}

// A loopback port that was free a moment ago.
int free_port() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
  getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
  close(fd);
  return ntohs(a.sin_port);
}

void stop(pid_t pid) {
  if (pid <= 0) return;
  kill(-pid, SIGTERM);
  int status;
  waitpid(pid, &status, 0);
}

// The direct path: the module called from here, its chunks counted.
int64_t direct_bytes(int port) {
  std::string cs = "ashost=127.0.0.1 sysnr=00 gwserv=" + std::to_string(port) +
                   " client=800 user=DEMO passwd=welcome1 lang=E lcheck=1";
  RFC_ERROR_INFO_EX err{};
  RFC_HANDLE h = RfcOpenEx(cs.data(), &err);
  if (!h) return -1;
  r3sim::TableList tables;
  ITAB_H ptab = tables.add("Z_QOR_PTAB", 72);
  tables.add("Z_QOR_WTAB", 72);
  tables.add("Z_QOR_LTAB", 256);
  for (const std::string &line : std::vector<std::string>{std::string("TABLE_NAME=ZBENCH100"), "RECORD_LENGTH=" + std::to_string(kWidth)})
    r3sim::put_text(static_cast<char *>(ItAppLine(ptab)), 72, line);
  r3sim::ParamList none;
  char *exception = nullptr;
  int64_t bytes = 0;
  RFC_RC rc = RfcCallReceive(h, const_cast<char *>(kModule), none.get(), none.get(), tables.get(),
                             &exception);
  char p1[8];
  r3sim::ParamList p1_only;
  p1_only.add("P1", p1, sizeof p1);
  r3sim::TableList chunk;
  chunk.add("Z_QOR_DTAB", 256);
  while (rc == RFC_CALL) {
    RFC_FUNCTIONNAME name;
    RfcGetName(h, name);
    bool data = std::strcmp(name, "CALLER_D") == 0;
    RfcGetData(h, p1_only.get(), data ? chunk.get() : nullptr);
    if (data) bytes += std::atoll(std::string(p1, sizeof p1).c_str());
    RfcSendData(h, none.get(), nullptr);
    rc = RfcReceive(h, none.get(), tables.get(), &exception);
  }
  RfcClose(h);
  return rc == RFC_OK ? bytes : -1;
}

// The server path: logon, data and request connection, all records read.
int64_t server_bytes(int compat_port, int r3_port) {
  using qorclient::CompatSession;
  CompatSession l, d, r;
  if (!l.open("127.0.0.1", compat_port) || !d.open("127.0.0.1", compat_port) ||
      !r.open("127.0.0.1", compat_port))
    return -1;
  for (const std::string &c : std::vector<std::string>{std::string("CPARM u DEMO"), "CPARM c 800", "CPARM l E", "CPARM h 127.0.0.1",
                        "CPARM s 00", "CPARM x " + std::to_string(r3_port),
                        "CPARM p " + qorclient::encode_password("welcome1"), "CCONNECT"})
    if (!l.command(c)) return -1;
  for (const std::string &c : std::vector<std::string>{"CHANDLE " + l.handle(), "DHANDLE " + d.handle(),
                        std::string("TABLE ZBENCH100"), "LENGTH " + std::to_string(kWidth)})
    if (!r.command(c)) return -1;
  std::vector<std::string> lines;
  if (!r.send("DCONNECT") || !r.read_reply(lines) || !lines.empty()) return -1;
  // Read in large blocks, as a client that stores records would: the
  // figure is the server's, not a record parser's.
  int64_t received = 0;
  std::string block;
  while (!d.at_end()) {
    block.clear();
    d.stream().read_exact(1 << 20, block, std::chrono::seconds(60));
    if (block.empty()) break;
    received += static_cast<int64_t>(block.size());
  }
  if (received % (kWidth + 1) != 0) return -1;
  int64_t bytes = received / (kWidth + 1) * kWidth;
  if (!r.read_reply(lines)) return -1;
  r.command("DISCONNECT " + l.handle());
  return bytes;
}

}  // namespace

int main(int argc, char **argv) {
  int64_t mib = argc > 1 ? std::atoll(argv[1]) : 256;
  bool batch = argc > 2 && std::strcmp(argv[2], "--batch") == 0;
  std::string chunk = argc > 3 ? argv[3] : "1048576";
  const char *name = batch ? "compat_batch_w100" : "compat_dialog_w100";
  int64_t rows = mib * 1024 * 1024 / kWidth;
  char tmpl[] = "/tmp/compat-bench-XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  std::string dir = tmpl, db = dir + "/bench.db";
  std::string ready;
  pid_t sim = start({own_dir() + "/r3sim", "--db", db, "--port", "0", "--bookings", "1000"}, &ready);
  size_t colon = ready.rfind(':');
  int r3_port = colon == std::string::npos ? 0 : std::atoi(ready.c_str() + colon + 1);
  if (r3_port == 0) {
    std::fprintf(stderr, "r3sim did not start\n");
    stop(sim);
    return 1;
  }
  {
    r3sim::SqliteDb sql(db, false);
    r3sim::Stmt s = sql.prepare(
        "INSERT INTO DD02L (TABNAME, TABCLASS, GENROWS, GENWIDTH) VALUES ('ZBENCH100', 'GENER', ?, ?)");
    s.bind(1, rows).bind(2, int64_t{kWidth}).step();
  }
  int compat_port = free_port(), main_port = free_port();
  std::vector<std::string> server_args = {own_dir() + "/qorrfc_server", "-d", "1", "-w", dir,
                                         "-n", "compatbench", "-p", std::to_string(main_port)};
  // The batch port's jobs run for r3sim's demo variant; PBUFMAX is -B.
  std::vector<std::string> port_args =
      batch ? std::vector<std::string>{"-b", "-p " + std::to_string(compat_port) + " -V QORBATCH",
                                       "-B", chunk}
            : std::vector<std::string>{"-c", std::to_string(compat_port)};
  server_args.insert(server_args.end(), port_args.begin(), port_args.end());
  pid_t server = start(server_args, nullptr);
  qorclient::CompatSession probe(std::chrono::seconds(1));
  for (int i = 0; i < 300 && !probe.open("127.0.0.1", compat_port); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  probe.close();

  RfcInit();
  // Alternating rounds, best of each: the first round also warms up r3sim.
  double direct_s = 1e9, server_s = 1e9;
  int64_t direct = 0, served = 0;
  for (int round = 0; round < 3; ++round) {
    auto t0 = Clock::now();
    direct = direct_bytes(r3_port);
    auto t1 = Clock::now();
    served = server_bytes(compat_port, r3_port);
    auto t2 = Clock::now();
    direct_s = std::min(direct_s, std::chrono::duration<double>(t1 - t0).count());
    server_s = std::min(server_s, std::chrono::duration<double>(t2 - t1).count());
  }
  double rss = bench::peak_rss_mb(std::to_string(server));
  stop(server);
  stop(sim);
  std::string rm = "rm -rf " + dir;
  if (std::system(rm.c_str()) != 0) return 1;
  if (direct != rows * kWidth || served != direct) {
    std::fprintf(stderr, "extraction incomplete: direct %lld, server %lld of %lld bytes\n",
                 static_cast<long long>(direct), static_cast<long long>(served),
                 static_cast<long long>(rows * kWidth));
    return 1;
  }
  double mb = static_cast<double>(direct) / 1e6;
  std::printf("%s direct: %.0f MB in %.2f s (%.1f MB/s); server: %.2f s (%.1f MB/s)\n", name,
              mb, direct_s, mb / direct_s, server_s, mb / server_s);
  std::printf("RESULT %s rows=%lld mb_per_s=%.1f ratio_to_direct=%.2f peak_rss_mb=%.1f\n", name,
              static_cast<long long>(rows), mb / server_s, direct_s / server_s, rss);
  return 0;
}

// Starts r3sim with a generated table and qorrfc_server with a
// dialog-compatibility port (or with --batch a batch-compatibility port,
// whose extraction runs as r3sim's background job and reaches the server
// through the gateway), then, side by side in one run: extracts the table
// through the server (records of the row width and a flag byte, read by the
// client library) and reads the same rows from r3sim directly through our
// RFC library, from the same module the server calls: the dialog
// compatibility module, or the batch one, whose job this process then
// serves as the server would. Both paths checksum every data byte in
// order, and the sums must agree. Three alternating rounds, the best time
// of each path counts. Prints MB/s of both and their ratio as
//   RESULT compat_dialog_w100 rows=N mb_per_s=X ratio_to_direct=R peak_rss_mb=M
// (compat_batch_wW with --batch).
//
//   compat_bench [MiB [--batch [chunk bytes]] [--width W]]
//       (default 256 MiB; chunks of 1048576 bytes; rows of 100 bytes)
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
const char kModule[] = "/QOR/Z_QOR_READ_TABLE_V8COMPAT";
const char kBatchModule[] = "/QOR/Z_QOR_BATCH_V8COMPAT";

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

// The direct path: the module called from here, the data bytes of its
// chunks summed.
int64_t direct_bytes(int port, unsigned width, bench::StreamSum &sum) {
  std::string cs = "ashost=127.0.0.1 sysnr=00 gwserv=" + std::to_string(port) +
                   " client=800 user=DEMO passwd=welcome1 lang=E lcheck=1";
  RFC_ERROR_INFO_EX err{};
  RFC_HANDLE h = RfcOpenEx(cs.data(), &err);
  if (!h) return -1;
  r3sim::TableList tables;
  ITAB_H ptab = tables.add("Z_QOR_PTAB", 72);
  tables.add("Z_QOR_WTAB", 72);
  tables.add("Z_QOR_LTAB", 256);
  for (const std::string &line : std::vector<std::string>{"TABLE_NAME=ZBENCH" + std::to_string(width),
                                   "RECORD_LENGTH=" + std::to_string(width)})
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
  ITAB_H lines = chunk.add("Z_QOR_DTAB", 256);
  while (rc == RFC_CALL) {
    RFC_FUNCTIONNAME name;
    RfcGetName(h, name);
    bool data = std::strcmp(name, "CALLER_D") == 0;
    RfcGetData(h, p1_only.get(), data ? chunk.get() : nullptr);
    if (data) {
      // P1 data bytes, the lines read in order; the rest of the last
      // line is not data.
      int64_t n = std::atoll(std::string(p1, sizeof p1).c_str());
      bytes += n;
      for (unsigned i = 1; n > 0 && i <= ItFill(lines); ++i) {
        size_t take = n < 256 ? static_cast<size_t>(n) : 256;
        sum.add(static_cast<const char *>(ItGetLine(lines, i)), take);
        n -= static_cast<int64_t>(take);
      }
    }
    RfcSendData(h, none.get(), nullptr);
    rc = RfcReceive(h, none.get(), tables.get(), &exception);
  }
  RfcClose(h);
  return rc == RFC_OK ? bytes : -1;
}

// The batch module's output read directly: this process does what the
// server does for a batch-compatibility client. It asks the module where
// the job will call, registers there itself, starts the job, answers
// Z_QOR_GET_EXTRACTION_PARAMS and, inside Z_QOR_BATCH_CALLBACK2, calls the
// module back with PBUFMAX; the rows of its Z_QOR_DATA_CHUNK callbacks
// are counted.
std::string text_of(const char *p, size_t n) {
  std::string t(p, n);
  t.erase(t.find_last_not_of(std::string(" \0", 2)) + 1);
  return t;
}

int64_t direct_batch_bytes(int port, unsigned width, const std::string &chunk,
                           bench::StreamSum &sum) {
  std::string cs = "ashost=127.0.0.1 sysnr=00 gwserv=" + std::to_string(port) +
                   " client=800 user=DEMO passwd=welcome1 lang=E lcheck=1";
  RFC_ERROR_INFO_EX err{};
  RFC_HANDLE h = RfcOpenEx(cs.data(), &err);
  if (!h) return -1;
  char variant[] = "QORBATCH", jobname[] = "QORBENCH";
  char progid[256], gwh[256], gws[256];
  r3sim::ParamList where_to, none;
  where_to.add("Z_QOR_PROGID", progid, sizeof progid)
      .add("Z_QOR_GWH", gwh, sizeof gwh)
      .add("Z_QOR_GWS", gws, sizeof gws);
  r3sim::ParamList ask;
  ask.add("Z_QOR_VARIANT", variant, sizeof variant - 1);
  char *exception = nullptr;
  if (RfcCallReceive(h, const_cast<char *>(kBatchModule), ask.get(), where_to.get(), nullptr,
                     &exception) != RFC_OK) {
    RfcClose(h);
    return -1;
  }
  std::string a = text_of(progid, sizeof progid), g = text_of(gwh, sizeof gwh),
              x = text_of(gws, sizeof gws);
  std::vector<char *> argv = {const_cast<char *>("-a"), &a[0], const_cast<char *>("-g"), &g[0],
                              const_cast<char *>("-x"), &x[0], nullptr};
  RFC_HANDLE reg = RfcAccept(argv.data());
  // The first wait announces the registration as ready before the job
  // that looks for it is started.
  if (reg == RFC_HANDLE_NULL || RfcWaitForRequest(reg, 0) != RFC_RETRY) {
    RfcClose(h);
    return -1;
  }
  r3sim::ParamList start;
  start.add("Z_QOR_VARIANT", variant, sizeof variant - 1)
      .add("Z_QOR_JOBNAME", jobname, sizeof jobname - 1);
  RFC_RC rc = RfcCallReceive(h, const_cast<char *>(kBatchModule), start.get(), none.get(),
                             nullptr, &exception);
  int64_t bytes = 0;
  bool done = false;
  std::string length = std::to_string(width), table = "ZBENCH" + length;
  while (rc == RFC_OK && !done && (rc = RfcWaitForRequest(reg, 60)) == RFC_OK) {
    RFC_FUNCTIONNAME name;
    RfcGetName(reg, name);
    if (std::strcmp(name, "Z_QOR_GET_EXTRACTION_PARAMS") == 0) {
      // The form a client that names none gets from the server.
      char dhandle[] = "direct", form[] = "GETDATA";
      r3sim::TableList wtab;
      wtab.add("Z_QOR_WTAB", 72);
      r3sim::ParamList extraction;
      extraction.add("DHANDLE", dhandle, sizeof dhandle - 1)
          .add("TABLE_NAME", &table[0], static_cast<unsigned>(table.size()))
          .add("RECORD_LENGTH", &length[0], static_cast<unsigned>(length.size()))
          .add("FORM", form, sizeof form - 1);
      RfcGetData(reg, none.get(), wtab.get());
      rc = RfcSendData(reg, extraction.get(), wtab.get());
      continue;
    }
    if (std::strcmp(name, "Z_QOR_BATCH_CALLBACK2") != 0) break;
    RfcGetData(reg, none.get(), nullptr);
    char bufmax[16];
    std::snprintf(bufmax, sizeof bufmax, "%.8d", std::atoi(chunk.c_str()));
    r3sim::ParamList nested;
    nested.add("PBUFMAX", bufmax, 8);
    r3sim::TableList dtab;
    ITAB_H rows = dtab.add("DTAB", width);
    char eod[1] = {' '};
    r3sim::ParamList eod_only;
    eod_only.add("END_OF_DATA", eod, 1);
    rc = RfcCall(reg, const_cast<char *>(kBatchModule), nested.get(), nullptr);
    while (rc == RFC_OK && (rc = RfcReceive(reg, none.get(), nullptr, &exception)) == RFC_CALL) {
      RfcGetData(reg, eod_only.get(), dtab.get());
      bytes += static_cast<int64_t>(ItFill(rows)) * ItLeng(rows);
      for (unsigned i = 1; i <= ItFill(rows); ++i)
        sum.add(static_cast<const char *>(ItGetLine(rows, i)), ItLeng(rows));
      rc = RfcSendData(reg, none.get(), nullptr);
    }
    if (rc == RFC_OK) rc = RfcSendData(reg, none.get(), nullptr);
    done = true;
  }
  RfcClose(reg);
  RfcClose(h);
  return rc == RFC_OK && done ? bytes : -1;
}

// The server path: logon, data and request connection, all records read
// and their data bytes summed; -1 also when a record is no data record.
int64_t server_bytes(int compat_port, int r3_port, unsigned width, int64_t rows, bool batch,
                     bench::StreamSum &sum) {
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
                        "TABLE ZBENCH" + std::to_string(width), "LENGTH " + std::to_string(width)})
    if (!r.command(c)) return -1;
  std::vector<std::string> lines;
  if (!r.send("DCONNECT") || !r.read_reply(lines) || !lines.empty()) return -1;
  // Read in large blocks straight from the stream's buffer, as a client
  // that stores records would: the figure is the server's, not a record
  // parser's or a copy's. The stream holds rows records of width data
  // bytes and a flag byte each.
  int64_t received = 0;
  const int64_t expected = rows * (width + 1);
  size_t in_record = 0;  // data bytes of the current record already read
  bool flags_ok = true;
  // The flag byte of a data record: 0xFF on the dialog port, 0x01 on the
  // batch port.
  const unsigned char data_flag = batch ? 0x01 : 0xFF;
  while (received < expected) {
    size_t n = static_cast<size_t>(std::min<int64_t>(expected - received, 1 << 20));
    const char *block = d.stream().read_view(n, std::chrono::seconds(60));
    if (block == nullptr) break;
    received += static_cast<int64_t>(n);
    // Records run across blocks: data bytes, then the flag byte.
    for (size_t at = 0; at < n;) {
      if (in_record == width) {
        flags_ok = flags_ok && static_cast<unsigned char>(block[at]) == data_flag;
        in_record = 0;
        ++at;
        continue;
      }
      size_t take = std::min(width - in_record, n - at);
      sum.add(block + at, take);
      in_record += take;
      at += take;
    }
  }
  // Nothing may follow the last record but the end of the stream.
  std::string rest;
  d.stream().read_exact(1, rest, std::chrono::seconds(60));
  if (!rest.empty()) return -1;
  if (!flags_ok || received % (width + 1) != 0) return -1;
  int64_t bytes = received / (width + 1) * width;
  if (!r.read_reply(lines)) return -1;
  r.command("DISCONNECT " + l.handle());
  return bytes;
}

}  // namespace

int main(int argc, char **argv) {
  int64_t mib = argc > 1 ? std::atoll(argv[1]) : 256;
  bool batch = false;
  unsigned width = 100;
  std::string chunk = "1048576";
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--batch") == 0) {
      batch = true;
      if (i + 1 < argc && argv[i + 1][0] != '-') chunk = argv[++i];
    } else if (std::strcmp(argv[i], "--width") == 0 && i + 1 < argc) {
      width = static_cast<unsigned>(std::atoi(argv[++i]));
    }
  }
  if (width == 0) return 2;
  std::string name = std::string(batch ? "compat_batch_w" : "compat_dialog_w") + std::to_string(width);
  std::string table = "ZBENCH" + std::to_string(width);
  int64_t rows = mib * 1024 * 1024 / width;
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
        "INSERT INTO DD02L (TABNAME, TABCLASS, GENROWS, GENWIDTH) VALUES (?, 'GENER', ?, ?)");
    s.bind(1, table).bind(2, rows).bind(3, int64_t{width}).step();
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
  bool same = true;
  for (int round = 0; round < 3; ++round) {
    bench::StreamSum direct_sum, server_sum;
    auto t0 = Clock::now();
    direct = batch ? direct_batch_bytes(r3_port, width, chunk, direct_sum)
                   : direct_bytes(r3_port, width, direct_sum);
    auto t1 = Clock::now();
    served = server_bytes(compat_port, r3_port, width, rows, batch, server_sum);
    auto t2 = Clock::now();
    same = same && direct_sum.value() == server_sum.value();
    direct_s = std::min(direct_s, std::chrono::duration<double>(t1 - t0).count());
    server_s = std::min(server_s, std::chrono::duration<double>(t2 - t1).count());
  }
  double rss = bench::peak_rss_mb(std::to_string(server));
  stop(server);
  stop(sim);
  std::string rm = "rm -rf " + dir;
  if (std::system(rm.c_str()) != 0) return 1;
  if (direct != rows * width || served != direct || !same) {
    std::fprintf(stderr, "extraction incomplete or different: direct %lld, server %lld of %lld bytes%s\n",
                 static_cast<long long>(direct), static_cast<long long>(served),
                 static_cast<long long>(rows * width), same ? "" : ", checksums differ");
    return 1;
  }
  double mb = static_cast<double>(direct) / 1e6;
  std::printf("%s direct: %.0f MB in %.2f s (%.1f MB/s); server: %.2f s (%.1f MB/s)\n", name.c_str(),
              mb, direct_s, mb / direct_s, server_s, mb / server_s);
  std::printf("RESULT %s rows=%lld mb_per_s=%.1f ratio_to_direct=%.2f peak_rss_mb=%.1f\n", name.c_str(),
              static_cast<long long>(rows), mb / server_s, direct_s / server_s, rss);
  return 0;
}

// Starts r3sim on a loopback port with a generated table of the given size
// (512-byte rows), reads all of it with RFC_READ_TABLE in pages through our
// RFC library, then sends the same number of bytes through a plain loopback
// TCP socket; prints rows per second, MB/s and the ratio of the two rates.
//
//   r3sim_bench [MiB [rows-per-page]]     (defaults 1024, 20000)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <malloc.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "call_lists.h"
#include "sapitab.h"
#include "saprfc.h"
#include "sqlite_db.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr unsigned kWidth = 512;

std::string own_dir() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string p(path, n > 0 ? static_cast<size_t>(n) : 0);
  return p.substr(0, p.rfind('/'));
}

// Starts r3sim and returns its pid and port (from its ready line).
pid_t start_r3sim(const std::string &db, int *port) {
  int out[2];
  if (pipe(out) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    std::string exe = own_dir() + "/r3sim";
    execl(exe.c_str(), exe.c_str(), "--db", db.c_str(), "--port", "0", "--bookings", "1000",
          static_cast<char *>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string line;
  char c;
  while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
  close(out[0]);
  size_t colon = line.rfind(':');
  *port = colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
  return pid;
}

double raw_loopback_seconds(size_t bytes) {
  int ls = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  bind(ls, reinterpret_cast<sockaddr *>(&a), sizeof a);
  listen(ls, 1);
  getsockname(ls, reinterpret_cast<sockaddr *>(&a), &len);
  auto start = Clock::now();
  std::thread writer([&] {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    connect(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
    std::vector<char> buf(1 << 20, 'x');
    for (size_t sent = 0; sent < bytes;) {
      ssize_t n = write(s, buf.data(), std::min(buf.size(), bytes - sent));
      if (n <= 0) break;
      sent += static_cast<size_t>(n);
    }
    close(s);
  });
  int c = accept(ls, nullptr, nullptr);
  std::vector<char> buf(1 << 20);
  while (read(c, buf.data(), buf.size()) > 0) {
  }
  writer.join();
  close(c);
  close(ls);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char **argv) {
  long mib = argc > 1 ? std::atol(argv[1]) : 1024;
  int32_t page = argc > 2 ? std::atoi(argv[2]) : 20000;
  int64_t rows = mib * 1024 * 1024 / kWidth;
  char tmpl[] = "/tmp/r3sim-bench-XXXXXX";
  if (!mkdtemp(tmpl)) return 1;
  std::string db = std::string(tmpl) + "/bench.db";
  int port = 0;
  pid_t pid = start_r3sim(db, &port);
  if (pid <= 0 || port == 0) {
    std::fprintf(stderr, "r3sim did not start\n");
    return 1;
  }
  {
    r3sim::SqliteDb sql(db, false);
    r3sim::Stmt s = sql.prepare(
        "INSERT INTO DD02L (TABNAME, TABCLASS, GENROWS, GENWIDTH) VALUES ('ZBENCH', 'GENER', ?, ?)");
    s.bind(1, rows).bind(2, int64_t{kWidth}).step();
  }
  // Pages of rows are megabytes each: keep freed memory for the next page
  // instead of mapping and faulting in fresh pages for every one.
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  RfcInit();
  std::string cs = "ashost=127.0.0.1 sysnr=00 gwserv=" + std::to_string(port) +
                   " client=800 user=DEMO passwd=welcome1 lang=E lcheck=1";
  RFC_ERROR_INFO_EX err{};
  RFC_HANDLE h = RfcOpenEx(cs.data(), &err);
  if (!h) {
    std::fprintf(stderr, "logon failed: %s\n", err.message);
    kill(pid, SIGTERM);
    return 1;
  }
  char query[30];
  r3sim::put_text(query, sizeof query, "ZBENCH");
  int64_t got = 0;
  size_t checksum = 0;
  auto start = Clock::now();
  for (int32_t skip = 0; got < rows;) {
    r3sim::ParamList exp, imp;
    exp.add("QUERY_TABLE", query, 30).add("ROWSKIPS", &skip, 4, RFCTYPE_INT).add("ROWCOUNT", &page, 4, RFCTYPE_INT);
    r3sim::TableList tables;
    tables.add("OPTIONS", 72);
    tables.add("FIELDS", 103);
    ITAB_H data = tables.add("DATA", kWidth);
    char *exc = nullptr;
    RFC_RC rc = RfcCallReceive(h, const_cast<char *>("RFC_READ_TABLE"), exp.get(), imp.get(), tables.get(), &exc);
    if (rc != RFC_OK || ItFill(tables.at(2)) == 0) {
      std::fprintf(stderr, "RFC_READ_TABLE ended with %d %s after %lld rows\n", rc, exc ? exc : "",
                   static_cast<long long>(got));
      break;
    }
    unsigned n = ItFill(tables.at(2));
    checksum += static_cast<unsigned char>(static_cast<char *>(ItGetLine(data, n))[9]);
    got += n;
    skip += static_cast<int32_t>(n);
  }
  double rfc = std::chrono::duration<double>(Clock::now() - start).count();
  RfcClose(h);
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  std::error_code ec;
  std::filesystem::remove_all(tmpl, ec);

  double bytes = static_cast<double>(got) * kWidth;
  double raw = raw_loopback_seconds(static_cast<size_t>(bytes));
  std::printf("r3sim RFC_READ_TABLE: %lld rows of %u bytes (%.0f MiB) in %.2f s: %.0f rows/s, %.1f MB/s (check %zu)\n",
              static_cast<long long>(got), kWidth, bytes / 1048576, rfc, got / rfc, bytes / rfc / 1e6, checksum);
  std::printf("raw loopback TCP:     same bytes in %.2f s: %.0f rows/s equivalent, %.1f MB/s\n", raw,
              got / raw, bytes / raw / 1e6);
  std::printf("ratio r3sim/raw: %.3f\n", raw / rfc);
  return got == rows ? 0 : 1;
}

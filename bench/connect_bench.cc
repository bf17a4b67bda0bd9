// Measures, side by side in one run: accepted connections per second
// (connect, read the 130-byte handle record, close) against a minimal
// accept-and-greet loop on the same machine, and the server's resident
// memory with idle connections. Everything runs on loopback.
//
//   connect_bench [connections=10000] [idle=500]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"

namespace {

sockaddr_in loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

int listener(int *port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = loopback(0);
  bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
  listen(fd, 512);
  socklen_t len = sizeof a;
  getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
  *port = ntohs(a.sin_port);
  return fd;
}

int free_port() {
  int port;
  close(listener(&port));
  return port;
}

// Connects and reads the 130-byte greeting; the open socket, or -1.
int greeted(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a = loopback(port);
  if (connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  char buf[130];
  size_t got = 0;
  while (got < sizeof buf) {
    ssize_t n = recv(fd, buf + got, sizeof buf - got, 0);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  if (got != sizeof buf) {
    close(fd);
    return -1;
  }
  return fd;
}

// Seconds for count connections, one after the other.
double seconds_for(int port, int count) {
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < count; ++i) {
    int fd = greeted(port);
    if (fd < 0) {
      std::fprintf(stderr, "connection %d failed\n", i);
      std::exit(1);
    }
    close(fd);
  }
  std::chrono::duration<double> s = std::chrono::steady_clock::now() - start;
  return s.count();
}

}  // namespace

int main(int argc, char **argv) {
  int count = argc > 1 ? std::atoi(argv[1]) : 10000;
  int idle = argc > 2 ? std::atoi(argv[2]) : 500;

  // Reference: accept, write 130 bytes, close, on one thread.
  int ref_port;
  int ref_fd = listener(&ref_port);
  std::thread reference([ref_fd] {
    char record[130];
    std::memset(record, ' ', sizeof record);
    record[129] = '\n';
    for (;;) {
      int c = accept(ref_fd, nullptr, nullptr);
      if (c < 0) return;
      send(c, record, sizeof record, MSG_NOSIGNAL);
      close(c);
    }
  });

  int port = free_port();
  std::string dir = "/tmp/qorrfc-bench-" + std::to_string(getpid());
  std::string mk = "mkdir -p " + dir;
  if (std::system(mk.c_str()) != 0) return 1;
  pid_t server = fork();
  if (server == 0) {
    setpgid(0, 0);
    std::string p = std::to_string(port);
    execl(QORRFC_BIN_DIR "/qorrfc_server", "qorrfc_server", "-d", "1", "-w", dir.c_str(), "-n",
          "bench", "-p", p.c_str(), static_cast<char *>(nullptr));
    _exit(127);
  }
  for (int i = 0; i < 500; ++i) {
    int fd = greeted(port);
    if (fd >= 0) {
      close(fd);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }

  // The two sides take turns in rounds, so that what else the shared
  // machine does meanwhile falls on both alike.
  const int rounds = 10;
  double server_s = 0, ref_s = 0;
  for (int r = 0; r < rounds; ++r) {
    int n = count / rounds + (r < count % rounds ? 1 : 0);
    server_s += seconds_for(port, n);
    ref_s += seconds_for(ref_port, n);
  }
  double server_rate = count / server_s, ref_rate = count / ref_s;
  std::printf("connections: %d sequential (connect, read 130-byte record, close), "
              "in %d alternating rounds\n", count, rounds);
  std::printf("  qorrfc_server     %8.0f /s\n", server_rate);
  std::printf("  accept-and-greet  %8.0f /s\n", ref_rate);
  std::printf("  ratio server/reference: %.2f\n", server_rate / ref_rate);

  // Idle connections: let the workers of the rate test end first.
  const std::string server_pid = std::to_string(server);
  bench::settled([&] { return bench::threads(server_pid); });
  long before = bench::status_number(server_pid, "VmRSS:");
  std::vector<int> open_fds;
  for (int i = 0; i < idle; ++i) open_fds.push_back(greeted(port));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  long with_idle = bench::status_number(server_pid, "VmRSS:");
  std::printf("resident memory: %ld kB idle server, %ld kB with %d idle connections "
              "(%d threads), %.1f kB per connection\n",
              before, with_idle, idle, bench::threads(server_pid),
              static_cast<double>(with_idle - before) / idle);
  for (int fd : open_fds) close(fd);

  kill(server, SIGTERM);
  int status;
  waitpid(server, &status, 0);
  shutdown(ref_fd, SHUT_RDWR);
  close(ref_fd);
  reference.join();
  std::string rm = "rm -rf " + dir;
  return std::system(rm.c_str()) == 0 ? 0 : 1;
}

// Streams tables of 10 000 rows x 100 bytes through the RFC library the way
// the server sees an extraction (it calls a function module whose partner
// delivers the rows in callbacks) and, in the same run, the same bytes
// through a plain loopback TCP socket; prints both rates and their ratio.
// The rows are read once on arrival in both cases, as the server would.
//
//   rfclib_bench [MiB]     (default 1024)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "rfc_partner.h"
#include "sapitab.h"
#include "saprfc.h"

namespace {

constexpr unsigned kRowWidth = 100;
constexpr unsigned kRowsPerChunk = 10000;
constexpr size_t kChunkBytes = static_cast<size_t>(kRowWidth) * kRowsPerChunk;

using Clock = std::chrono::steady_clock;

RFC_PARAMETER param(const char *name, void *addr, unsigned leng, unsigned type) {
  return {const_cast<char *>(name), static_cast<unsigned>(std::strlen(name)), type, leng, addr};
}
RFC_TABLE table(const char *name, ITAB_H itab, unsigned leng) {
  return {const_cast<char *>(name), static_cast<unsigned>(std::strlen(name)), RFCTYPE_BYTE, leng, itab,
          RFC_ITMODE_BYREFERENCE, 0};
}
const RFC_PARAMETER kEndParam = {nullptr, 0, 0, 0, nullptr};
const RFC_TABLE kEndTable = {nullptr, 0, 0, 0, nullptr, RFC_ITMODE_BYREFERENCE, 0};

// The partner: Z_BENCH_READ delivers CHUNKS tables in Z_QOR_DATA_CHUNK callbacks.
void session(void *, RFC_HANDLE h, const RFCP_LOGON *) {
  ITAB_H dtab = ItCreate(const_cast<char *>("DTAB"), kRowWidth, kRowsPerChunk, 0);
  for (unsigned r = 0; r < kRowsPerChunk; ++r) {
    char *row = static_cast<char *>(ItAppLine(dtab));
    for (unsigned c = 0; c < kRowWidth; ++c) row[c] = static_cast<char>('A' + (r + c) % 26);
  }
  while (RfcWaitForRequest(h, -1) == RFC_OK) {
    int chunks = 0;
    RFC_PARAMETER in[] = {param("CHUNKS", &chunks, 4, RFCTYPE_INT), kEndParam};
    RfcGetData(h, in, nullptr);
    for (int i = 0; i < chunks; ++i) {
      char eod = i + 1 == chunks ? 'X' : ' ';
      RFC_PARAMETER exp[] = {param("END_OF_DATA", &eod, 1, RFCTYPE_CHAR), kEndParam};
      RFC_TABLE tabs[] = {table("DTAB", dtab, kRowWidth), kEndTable};
      char *exc = nullptr;
      if (RfcCallReceive(h, const_cast<char *>("Z_QOR_DATA_CHUNK"), exp, nullptr, tabs, &exc) != RFC_OK)
        break;
    }
    RfcSendData(h, nullptr, nullptr);
  }
  ItDelete(dtab);
}

// Reads every row as the server would when writing it out.
unsigned long touch(const char *p, size_t n) {
  unsigned long sum = 0;
  for (size_t i = 0; i < n; i += kRowWidth) sum += static_cast<unsigned char>(p[i]);
  return sum;
}

double run_library(int port, int chunks, unsigned long &checksum) {
  std::string cs = "ashost=127.0.0.1 sysnr=00 gwserv=" + std::to_string(port) + " client=001 user=BENCH";
  RFC_ERROR_INFO_EX err{};
  RFC_HANDLE h = RfcOpenEx(&cs[0], &err);
  if (h == RFC_HANDLE_NULL) {
    std::fprintf(stderr, "logon failed: %s\n", err.message);
    std::exit(1);
  }
  // Like the server's chunk descriptor: no table handle at first, so the
  // library makes the table and refills it for every chunk.
  RFC_TABLE tabs[] = {table("DTAB", nullptr, 0), kEndTable};
  auto start = Clock::now();
  RFC_PARAMETER exp[] = {param("CHUNKS", &chunks, 4, RFCTYPE_INT), kEndParam};
  RFC_RC rc = RfcCall(h, const_cast<char *>("Z_BENCH_READ"), exp, nullptr);
  char *exc = nullptr;
  while (rc == RFC_OK && (rc = RfcReceive(h, nullptr, nullptr, &exc)) == RFC_CALL) {
    char eod = ' ';
    RFC_PARAMETER in[] = {param("END_OF_DATA", &eod, 1, RFCTYPE_CHAR), kEndParam};
    RfcGetData(h, in, tabs);
    ITAB_H t = tabs[0].ithandle;
    for (unsigned r = 1, n = ItFill(t); r <= n; ++r)
      checksum += static_cast<unsigned char>(*static_cast<const char *>(ItGetLine(t, r)));
    rc = RfcSendData(h, nullptr, tabs);
  }
  double secs = std::chrono::duration<double>(Clock::now() - start).count();
  if (rc != RFC_OK) {
    RfcLastErrorEx(&err);
    std::fprintf(stderr, "call failed (%d): %s\n", rc, err.message);
    std::exit(1);
  }
  ItDelete(tabs[0].ithandle);
  RfcClose(h);
  return secs;
}

double run_raw(int chunks, unsigned long &checksum) {
  int lfd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (::bind(lfd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(lfd, 1) != 0) {
    std::perror("raw listen");
    std::exit(1);
  }
  ::getsockname(lfd, reinterpret_cast<sockaddr *>(&a), &len);
  std::vector<char> chunk(kChunkBytes);
  for (size_t i = 0; i < kChunkBytes; ++i)
    chunk[i] = static_cast<char>('A' + (i / kRowWidth + i % kRowWidth) % 26);
  auto start = Clock::now();
  std::thread writer([&] {
    int fd = ::accept(lfd, nullptr, nullptr);
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    for (int i = 0; i < chunks; ++i) {
      size_t off = 0;
      while (off < kChunkBytes) {
        ssize_t n = ::send(fd, chunk.data() + off, kChunkBytes - off, MSG_NOSIGNAL);
        if (n <= 0) return;
        off += static_cast<size_t>(n);
      }
    }
    ::close(fd);
  });
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
    std::perror("raw connect");
    std::exit(1);
  }
  std::vector<char> buf(kChunkBytes);
  for (int i = 0; i < chunks; ++i) {
    size_t off = 0;
    while (off < kChunkBytes) {
      ssize_t n = ::recv(fd, buf.data() + off, kChunkBytes - off, MSG_WAITALL);
      if (n <= 0) std::exit(1);
      off += static_cast<size_t>(n);
    }
    checksum += touch(buf.data(), kChunkBytes);
  }
  double secs = std::chrono::duration<double>(Clock::now() - start).count();
  writer.join();
  ::close(fd);
  ::close(lfd);
  return secs;
}

}  // namespace

int main(int argc, char **argv) {
  long mib = argc > 1 ? std::atol(argv[1]) : 1024;
  int chunks = static_cast<int>((mib << 20) / kChunkBytes);
  if (chunks < 1) chunks = 1;
  double bytes = static_cast<double>(chunks) * kChunkBytes;

  RFCP_CALLBACKS cb{};
  cb.session = session;
  RFCP_SYSTEM sys{};
  std::strcpy(sys.sysid, "BEN");
  std::strcpy(sys.codepage, "1100");
  std::strcpy(sys.pcs, "1");
  RFCP_SERVER *server = RfcpServerCreate(&cb, nullptr, &sys);
  int port = 0;
  if (!server || RfcpServerListen(server, "127.0.0.1", 0, &port) != 0) {
    std::perror("listen");
    return 1;
  }
  // Each path runs twice, alternating, and counts with its better time, so
  // a disturbance of the shared machine flatters neither side.
  unsigned long lib_sum = 0, raw_sum = 0, again = 0;
  double raw_s = run_raw(chunks, raw_sum);
  double lib_s = run_library(port, chunks, lib_sum);
  raw_s = std::min(raw_s, run_raw(chunks, again));
  lib_s = std::min(lib_s, run_library(port, chunks, again));
  RfcpServerDestroy(server);

  double lib_mb = bytes / 1e6 / lib_s, raw_mb = bytes / 1e6 / raw_s;
  std::printf("chunks %d of %u rows x %u bytes, %.0f MB\n", chunks, kRowsPerChunk, kRowWidth, bytes / 1e6);
  std::printf("rfclib   %.3f s  %.1f MB/s\n", lib_s, lib_mb);
  std::printf("raw tcp  %.3f s  %.1f MB/s\n", raw_s, raw_mb);
  if (lib_sum != raw_sum) {
    std::printf("checksums differ: %lu %lu\n", lib_sum, raw_sum);
    return 1;
  }
  std::printf("RESULT rfclib mb_per_s=%.1f raw_mb_per_s=%.1f ratio=%.2f\n", lib_mb, raw_mb, lib_mb / raw_mb);
  return 0;
}

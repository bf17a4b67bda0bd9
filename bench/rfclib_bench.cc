// Streams tables of 10 000 rows x 100 bytes through the RFC library the way
// the server sees an extraction (it calls a function module whose partner
// delivers the rows in callbacks) and, in the same run, the same frames
// byte for byte, in the same exchange of one call frame and its reply per
// chunk, through a plain loopback TCP socket; prints both rates and their
// ratio. The rows are read once on arrival in both cases, as the server
// would.
//
//   rfclib_bench [MiB]     (default 1024)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "rfc_encoder.h"
#include "rfc_partner.h"
#include "rfc_wire.h"
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

// The frames the library exchanges per chunk, encoded by the library's own
// encoder: the partner's Z_QOR_DATA_CHUNK call (END_OF_DATA and the rows)
// and the caller's reply, which hands the table back unchanged.
struct ChunkFrames {
  std::string call_head;  // everything of the call frame before the rows
  size_t call_size = 0;   // the whole call frame
  std::string reply;      // the whole reply frame
};

std::string flatten(const rfcw::Encoder &e) {
  std::string out;
  for (const iovec &v : e.iov()) out.append(static_cast<const char *>(v.iov_base), v.iov_len);
  return out;
}

ChunkFrames chunk_frames(const std::vector<char> &rows) {
  ChunkFrames f;
  char eod = ' ';
  rfcw::Encoder call(rfcw::Kind::Call, "Z_QOR_DATA_CHUNK");
  call.param("END_OF_DATA", RFCTYPE_CHAR, &eod, 1);
  call.table("DTAB", RFCTYPE_BYTE, kRowWidth, kRowsPerChunk, false);
  call.rows(rows.data(), rows.size());
  call.finish();
  std::string whole = flatten(call);
  f.call_size = whole.size();
  f.call_head = whole.substr(0, whole.size() - rows.size());
  rfcw::Encoder reply(rfcw::Kind::Reply, {});
  reply.table("DTAB", RFCTYPE_BYTE, kRowWidth, 0, true);
  reply.finish();
  f.reply = flatten(reply);
  return f;
}

bool read_n(int fd, char *p, size_t n) {
  for (size_t off = 0; off < n;) {
    ssize_t r = ::recv(fd, p + off, n - off, MSG_WAITALL);
    if (r <= 0) return false;
    off += static_cast<size_t>(r);
  }
  return true;
}

bool write_iov(int fd, iovec *iov, int count) {
  while (count > 0) {
    msghdr m{};
    m.msg_iov = iov;
    m.msg_iovlen = static_cast<size_t>(count);
    ssize_t n = ::sendmsg(fd, &m, MSG_NOSIGNAL);
    if (n <= 0) return false;
    for (size_t left = static_cast<size_t>(n); left > 0;) {
      size_t take = std::min(left, iov->iov_len);
      iov->iov_base = static_cast<char *>(iov->iov_base) + take;
      iov->iov_len -= take;
      left -= take;
      if (iov->iov_len == 0) {
        ++iov;
        --count;
      }
    }
  }
  return true;
}

// The wire alone: the same frames, byte for byte, in the same exchange (one
// call frame out, its reply back before the next), over a plain socket with
// nothing but reading the header, the body and each row.
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
  const ChunkFrames frames = chunk_frames(chunk);
  auto start = Clock::now();
  std::thread writer([&] {
    int fd = ::accept(lfd, nullptr, nullptr);
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::vector<char> reply(frames.reply.size());
    for (int i = 0; i < chunks; ++i) {
      iovec iov[2] = {{const_cast<char *>(frames.call_head.data()), frames.call_head.size()},
                      {chunk.data(), chunk.size()}};
      if (!write_iov(fd, iov, 2) || !read_n(fd, reply.data(), reply.size())) break;
    }
    ::close(fd);
  });
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
    std::perror("raw connect");
    std::exit(1);
  }
  int one = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  std::vector<char> body(frames.call_size);
  const size_t rows_at = frames.call_head.size() - rfcw::kHeaderSize;
  for (int i = 0; i < chunks; ++i) {
    uint8_t head[rfcw::kHeaderSize];
    rfcw::Header h;
    std::string why;
    if (!read_n(fd, reinterpret_cast<char *>(head), sizeof head) ||
        !rfcw::parse_header(head, h, why) || h.body_size != frames.call_size - sizeof head ||
        !read_n(fd, body.data(), h.body_size))
      std::exit(1);
    checksum += touch(body.data() + rows_at, kChunkBytes);
    if (::send(fd, frames.reply.data(), frames.reply.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(frames.reply.size()))
      std::exit(1);
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
  // Three alternating rounds, each path counts with its better time, so a
  // disturbance of the shared machine flatters neither side.
  unsigned long lib_sum = 0, raw_sum = 0, again = 0;
  double raw_s = run_raw(chunks, raw_sum);
  double lib_s = run_library(port, chunks, lib_sum);
  for (int round = 1; round < 3; ++round) {
    raw_s = std::min(raw_s, run_raw(chunks, again));
    lib_s = std::min(lib_s, run_library(port, chunks, again));
  }
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

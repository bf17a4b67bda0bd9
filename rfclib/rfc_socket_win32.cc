// The connection's calls into Winsock. A connection's descriptor is kept
// as an int like a POSIX one: Windows' socket handles are kernel handles,
// which stay within 32 bits on 64-bit Windows too.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "rfc_socket.h"

namespace rfcw {

namespace {

SOCKET sock(int fd) { return static_cast<SOCKET>(static_cast<intptr_t>(fd)); }

// A program that uses the library without ACE (rfcinfo) has not started
// Winsock; the start is counted, so one more from here does no harm.
void start_winsock() {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  });
}

// The system's text for a Winsock error code, without its line end.
std::string error_text(int code) {
  char buf[512] = "";
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           static_cast<DWORD>(code), 0, buf, sizeof buf, nullptr);
  std::string text(buf, n);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.'))
    text.pop_back();
  if (text.empty()) text = "Winsock error " + std::to_string(code);
  return text;
}

int wait_readable(int fd, int timeout_ms) {
  WSAPOLLFD p{};
  p.fd = sock(fd);
  p.events = POLLRDNORM;
  return WSAPoll(&p, 1, timeout_ms);
}

}  // namespace

Socket::Socket(int fd, std::string peer) : fd_(fd), peer_(std::move(peer)) {}

Socket::~Socket() {
  if (fd_ >= 0) ::closesocket(sock(fd_));
}

void Socket::shutdown() { ::shutdown(sock(fd_), SD_BOTH); }

bool Socket::send_iov(std::vector<iovec> iov, std::string &why) {
  // WSABUF lengths are 32 bits wide: larger pieces go in several buffers.
  std::vector<WSABUF> bufs;
  for (const iovec &v : iov) {
    char *p = static_cast<char *>(v.iov_base);
    size_t left = v.iov_len;
    while (left > 0) {
      ULONG n = static_cast<ULONG>(std::min<size_t>(left, 1u << 30));
      bufs.push_back(WSABUF{n, p});
      p += n;
      left -= n;
    }
  }
  size_t first = 0;
  while (first < bufs.size()) {
    DWORD sent = 0;
    DWORD count = static_cast<DWORD>(std::min<size_t>(bufs.size() - first, 1024));
    if (WSASend(sock(fd_), &bufs[first], count, &sent, 0, nullptr, nullptr) != 0) {
      why = error_text(WSAGetLastError());
      return false;
    }
    size_t left = sent;
    while (first < bufs.size() && left >= bufs[first].len) {
      left -= bufs[first].len;
      ++first;
    }
    if (left > 0) {
      bufs[first].buf += left;
      bufs[first].len -= static_cast<ULONG>(left);
    }
  }
  return true;
}

// Waits up to first_timeout_ms (-1: no limit) for the first byte, then
// reads all n bytes in blocking calls; the socket's receive time-out
// (kStallMs, set by tune_socket) ends a partner stalling in between.
Socket::Io Socket::read_exact(char *p, size_t n, int first_timeout_ms, std::string &why) {
  int w = wait_readable(fd_, first_timeout_ms);
  if (w == 0) return Io::Timeout;
  if (w < 0) {
    why = error_text(WSAGetLastError());
    return Io::Error;
  }
  size_t got = 0;
  while (got < n) {
    int want = static_cast<int>(std::min<size_t>(n - got, 1u << 30));
    int r = ::recv(sock(fd_), p + got, want, 0);
    if (r > 0) {
      got += static_cast<size_t>(r);
      continue;
    }
    if (r == 0) return got == 0 ? Io::Eof : Io::Error;
    int code = WSAGetLastError();
    why = code == WSAETIMEDOUT ? "partner stalled in the middle of a frame" : error_text(code);
    return Io::Error;
  }
  return Io::Ok;
}

void tune_socket(int fd) {
  BOOL one = TRUE;
  ::setsockopt(sock(fd), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&one),
               sizeof one);
  DWORD stall = kStallMs;  // milliseconds on Windows
  ::setsockopt(sock(fd), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char *>(&stall),
               sizeof stall);
}

std::string peer_of(int fd) {
  sockaddr_storage a{};
  int len = sizeof a;
  if (::getpeername(sock(fd), reinterpret_cast<sockaddr *>(&a), &len) != 0) return "?";
  char host[NI_MAXHOST], serv[NI_MAXSERV];
  if (::getnameinfo(reinterpret_cast<sockaddr *>(&a), static_cast<socklen_t>(len), host,
                    sizeof host, serv, sizeof serv, NI_NUMERICHOST | NI_NUMERICSERV) != 0)
    return "?";
  return std::string(host) + ":" + serv;
}

std::unique_ptr<Socket> connect_tcp(const std::string &host, int port, std::string &why) {
  start_winsock();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo *res = nullptr;
  std::string service = std::to_string(port);
  if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &res) != 0) {
    why = std::string("host '") + host + "' unknown";
    return nullptr;
  }
  why = "no address";
  for (addrinfo *a = res; a; a = a->ai_next) {
    // Not inherited by the programs this process starts.
    SOCKET s = WSASocketW(a->ai_family, a->ai_socktype, a->ai_protocol, nullptr, 0,
                          WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
      why = error_text(WSAGetLastError());
      continue;
    }
    if (::connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0) {
      ::freeaddrinfo(res);
      int fd = static_cast<int>(static_cast<intptr_t>(s));
      tune_socket(fd);
      return std::make_unique<Socket>(fd, peer_of(fd));
    }
    why = error_text(WSAGetLastError());
    ::closesocket(s);
  }
  ::freeaddrinfo(res);
  return nullptr;
}

std::string local_host_name() {
  start_winsock();
  char host[256] = "";
  if (::gethostname(host, sizeof host - 1) != 0) return "";
  return host;
}

}  // namespace rfcw

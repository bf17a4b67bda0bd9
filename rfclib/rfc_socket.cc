// The frame logic of a connection, the same on every platform; the
// operating system's socket calls are in rfc_socket_posix.cc and
// rfc_socket_win32.cc.
#include "rfc_socket.h"

#include <algorithm>
#include <cstring>

namespace rfcw {

namespace {
constexpr size_t kGrowStep = 16u << 20;
}  // namespace

std::string Socket::peer_host() const {
  auto colon = peer_.rfind(':');
  return colon == std::string::npos ? peer_ : peer_.substr(0, colon);
}

bool Socket::send(const Encoder &frame, std::string &why) {
  return send_iov(std::vector<iovec>(frame.iov().begin(), frame.iov().end()), why);
}

bool Socket::send(const std::string &bytes, std::string &why) {
  return send_iov({iovec{const_cast<char *>(bytes.data()), bytes.size()}}, why);
}

bool Socket::send_empty(Kind kind, std::string &why) {
  Encoder e(kind, {});
  e.finish();
  return send(e, why);
}

ReadResult Socket::read(Frame &f, int timeout_ms, std::string &why) {
  uint8_t head[kHeaderSize];
  Io io = read_exact(reinterpret_cast<char *>(head), kHeaderSize, timeout_ms, why);
  if (io == Io::Timeout) return ReadResult::Timeout;
  if (io == Io::Eof) {
    why = "connection closed by partner";
    return ReadResult::Closed;
  }
  if (io != Io::Ok) {
    if (why.empty()) why = "connection closed by partner in the middle of a frame";
    return ReadResult::Broken;
  }
  if (!parse_header(head, f.header, why)) return ReadResult::Malformed;
  if (f.header.version != kVersion) {
    why = "partner speaks protocol version " + std::to_string(f.header.version) +
          ", this library speaks version " + std::to_string(kVersion);
    return ReadResult::Version;
  }
  // The buffer grows with the bytes that actually arrive, so a frame that
  // merely claims a large size costs no memory.
  size_t size = f.header.body_size, have = 0;
  size_t cap = std::min(size, kGrowStep);
  std::unique_ptr<char, decltype(&std::free)> body(static_cast<char *>(std::malloc(cap ? cap : 1)),
                                                   &std::free);
  if (!body) {
    why = "out of memory for a frame";
    return ReadResult::Broken;
  }
  while (have < size) {
    if (have == cap) {
      cap = std::min(size, cap * 2);
      char *bigger = static_cast<char *>(std::realloc(body.get(), cap));
      if (!bigger) {
        why = "out of memory for a frame";
        return ReadResult::Broken;
      }
      body.release();
      body.reset(bigger);
    }
    io = read_exact(body.get() + have, cap - have, kStallMs, why);
    if (io != Io::Ok) {
      if (why.empty()) why = "connection closed by partner in the middle of a frame";
      return ReadResult::Broken;
    }
    have = cap;
  }
  f.body = std::shared_ptr<char>(body.release(), &std::free);
  if (!decode(f.header.kind, f.body.get(), size, f.msg, why)) return ReadResult::Malformed;
  return ReadResult::Ok;
}

}  // namespace rfcw

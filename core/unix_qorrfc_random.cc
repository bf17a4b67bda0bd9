#include <sys/random.h>

#include <cerrno>
#include <cstring>

#include "qorrfc_random.h"

namespace {

int fill(unsigned char *out, std::size_t n) {
  std::size_t got = 0;
  while (got < n) {
    ssize_t r = getrandom(out + got, n - got, 0);
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    got += static_cast<std::size_t>(r);
  }
  return 0;
}

}  // namespace

int qorrfc_random_bytes(unsigned char *out, std::size_t n) {
  // Taken from the kernel a few hundred bytes at a time: every connection
  // needs a handful, and a system call each would cost more than all the
  // rest of naming it. Each thread keeps its own bytes, and every byte is
  // given out once.
  static thread_local unsigned char pool[256];
  static thread_local std::size_t left = 0;
  if (n > sizeof pool) return fill(out, n);
  if (left < n) {
    if (fill(pool, sizeof pool) == -1) return -1;
    left = sizeof pool;
  }
  std::memcpy(out, pool + sizeof pool - left, n);
  std::memset(pool + sizeof pool - left, 0, n);
  left -= n;
  return 0;
}

#include <sys/random.h>

#include <cerrno>

#include "qorrfc_random.h"

int qorrfc_random_bytes(unsigned char *out, std::size_t n) {
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

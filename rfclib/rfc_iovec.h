// The gather-write segment the encoder builds frames of: POSIX's iovec,
// and on Windows a struct of the same shape that the Winsock layer turns
// into WSABUFs.
#pragma once

#if defined(_WIN32)
#include <cstddef>

struct iovec {
  void *iov_base;
  std::size_t iov_len;
};
#else
#include <sys/uio.h>
#endif

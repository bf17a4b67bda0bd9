#include <sys/socket.h>

#include "qorrfc_gather_writer.h"
#include "qorrfc_send_flags.h"

ssize_t Qorrfc_Gather_Writer::write_ranges(iovec *ranges, int count) {
  msghdr m{};
  m.msg_iov = ranges;
  m.msg_iovlen = static_cast<size_t>(count);
  return ::sendmsg(socket_, &m, QORRFC_SEND_FLAGS);
}

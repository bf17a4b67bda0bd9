#include <ace/OS_NS_sys_socket.h>

#include "qorrfc_gather_writer.h"

// Winsock's gathered send; its error becomes errno. A client that has gone
// away raises no signal on Windows.
ssize_t Qorrfc_Gather_Writer::write_ranges(iovec *ranges, int count) {
  return ACE_OS::sendv(socket_, ranges, count);
}

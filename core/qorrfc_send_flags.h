// The flags of every send to a client. On Unix a client that has gone away
// must not end the process with SIGPIPE; Windows raises no such signal.
#pragma once

#include <ace/os_include/sys/os_socket.h>

#if defined (MSG_NOSIGNAL)
const int QORRFC_SEND_FLAGS = MSG_NOSIGNAL;
#else
const int QORRFC_SEND_FLAGS = 0;
#endif

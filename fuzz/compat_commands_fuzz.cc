// Feeds arbitrary command lines, one per line feed of the input, to a
// dialog-compatibility handler whose socket is one end of a socket pair,
// as its worker would, until a command ends the connection. CCONNECT and
// DCONNECT are stubbed (no R/3 here); everything else runs. Checks that
// every reply is whole lines, that "OK" ends the reply exactly when the
// command succeeded, and that the tables stay within their bounds.
// ACE_Svc_Handler pairs its own operator new with a delete[] that GCC flags.
#pragma GCC diagnostic ignored "-Wpragmas"
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include <ace/Log_Msg.h>
#include <ace/Message_Block.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "qorrfc_compat_handler.h"
#include "sapitab.h"

namespace {

class Fuzz_Compat_Handler : public Qorrfc_Compat_Handler {
 public:
  int process_cconnect() override { return 0; }
  int rfc_process_dconnect() override { return 0; }
};

std::string drain(int fd) {
  std::string out;
  char buf[4096];
  ssize_t r;
  while ((r = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT)) > 0) out.append(buf, static_cast<size_t>(r));
  return out;
}

bool ends_with(const std::string &s, const std::string &tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool quiet = [] {
    ACE_LOG_MSG->priority_mask(0, ACE_Log_Msg::PROCESS);
    return true;
  }();
  (void)quiet;
  int sv[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0) return 0;
  auto *handler = new Fuzz_Compat_Handler;
  handler->peer().set_handle(sv[0]);
  std::string input(reinterpret_cast<const char *>(data), size);
  size_t at = 0;
  int result = 0;
  while (result == 0 && at < input.size()) {
    size_t lf = input.find('\n', at);
    std::string line = input.substr(at, lf == std::string::npos ? std::string::npos : lf - at);
    at = lf == std::string::npos ? input.size() : lf + 1;
    ACE_Message_Block block(line.size() + 1);
    block.copy(line.data(), line.size());
    result = handler->handle_mb(&block);
    std::string reply = drain(sv[1]);
    if (!reply.empty() && reply.back() != '\n') std::abort();
    if ((result == 0) != ends_with(reply, "OK\n")) std::abort();
    if (ItFill(handler->where_table()) > Qorrfc_Compat_Handler::MAX_WHERE_LINES) std::abort();
    if (ItFill(handler->parameter_table()) > Qorrfc_Compat_Handler::MAX_PARAMETER_LINES + 5)
      std::abort();
    if (handler->logon_values().connect_string.size() > Qorrfc_Compat_Handler::MAX_CONNECT_STRING)
      std::abort();
  }
  handler->remove_ref();
  close(sv[1]);
  return 0;
}

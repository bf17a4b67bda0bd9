// One message as the main port receives it (the framing has stripped the
// final line feed), up to the request object and its attribute reading.
// Replies go nowhere; nothing here talks to R/3.
// ACE_Svc_Handler pairs its own operator new with a delete[] that GCC flags.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include <ace/Log_Msg.h>
#include <ace/Message_Block.h>
#include <xercesc/util/PlatformUtils.hpp>

#include <cstdint>
#include <cstdlib>

#include "qorrfc_base_request.h"
#include "qorrfc_v9_handler.h"

namespace {
class Quiet_Handler : public Qorrfc_V9_Handler {
 public:
  int send(const char *, size_t length) override { return static_cast<int>(length); }
  using Qorrfc_V9_Handler::send;
};

// The parser once, and no log output: writing the handlers' trace lines
// would cost more than the parse itself.
struct Xerces {
  Xerces() {
    XERCES_CPP_NAMESPACE::XMLPlatformUtils::Initialize();
    ACE_LOG_MSG->priority_mask(0, ACE_Log_Msg::PROCESS);
  }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static Xerces xerces;
  // The reactor reads in chunks of at most 256 bytes: the message arrives
  // as a chain of such blocks.
  ACE_Message_Block *head = nullptr, *tail = nullptr;
  for (size_t at = 0; at < size || head == nullptr; at += 256) {
    size_t n = size - at < 256 ? size - at : 256;
    ACE_Message_Block *block = new ACE_Message_Block(n ? n : 1);
    block->copy(reinterpret_cast<const char *>(data) + at, n);
    if (tail) tail->cont(block); else head = block;
    tail = block;
    if (n == 0) break;
  }
  Quiet_Handler *handler = new Quiet_Handler;
  Qorrfc_Base_Request *request = handler->receive_request(head);
  if (request != nullptr) {
    handler->current_request(request);
    request->parse_common_attributes();
  }
  head->release();
  handler->remove_ref();
  return 0;
}

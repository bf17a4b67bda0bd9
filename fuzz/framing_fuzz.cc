// Feeds arbitrary chunk sequences through the request framing. The input
// is split into chunks by its own bytes: each chunk is preceded by a length
// byte (0 to 255, as the reactor reads at most 256 bytes). A small request
// limit lets short inputs reach the refusal path. Checks that every request
// handed out matches a model of the rule, byte for byte.
#include <ace/Message_Block.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "qorrfc_framer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const size_t limit = 1024;
  Qorrfc_Framer framer(limit);
  std::string model;  // the request as the rule builds it
  size_t at = 0;
  while (at < size) {
    size_t len = data[at++];
    if (len > size - at) len = size - at;
    std::string bytes(reinterpret_cast<const char *>(data + at), len);
    at += len;
    auto *chunk = new ACE_Message_Block(len ? len : 1);
    chunk->copy(bytes.data(), len);

    Qorrfc_Framer::Result expected = Qorrfc_Framer::INCOMPLETE;
    model += bytes;
    if (!bytes.empty() && bytes.back() == '\n') {
      bool continued = bytes.size() >= 2 && bytes[bytes.size() - 2] == '\\';
      model.resize(model.size() - (continued ? 2 : 1));
      expected = continued ? Qorrfc_Framer::CONTINUED : Qorrfc_Framer::COMPLETE;
    }
    if (model.size() > limit) expected = Qorrfc_Framer::TOO_LARGE;

    Qorrfc_Framer::Result got = framer.add(chunk);
    if (got != expected) std::abort();
    if (framer.size() != (got == Qorrfc_Framer::TOO_LARGE ? 0 : model.size())) std::abort();
    if (got == Qorrfc_Framer::COMPLETE) {
      std::string request;
      ACE_Message_Block *head = framer.take_request();
      for (ACE_Message_Block *b = head; b; b = b->cont()) request.append(b->rd_ptr(), b->length());
      head->release();
      if (request != model) std::abort();
    }
    if (got == Qorrfc_Framer::COMPLETE || got == Qorrfc_Framer::TOO_LARGE) model.clear();
  }
  return 0;
}

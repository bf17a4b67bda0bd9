// A connection handler that keeps what requests write to it, so tests can
// check replies byte for byte without a socket.
#pragma once
// ACE_Svc_Handler pairs its own operator new with a delete[] that GCC flags.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include <string>

#include "qorrfc_base_handler.h"

class Capture_Handler : public Qorrfc_Base_Handler {
 public:
  int send(const char *bytes, size_t length) override {
    written_.append(bytes, length);
    return static_cast<int>(length);
  }
  using Qorrfc_Base_Handler::send;
  // Everything written so far; forgets it.
  std::string take() {
    std::string out;
    out.swap(written_);
    return out;
  }

 private:
  std::string written_;
};

// Owns a heap handler the way the connection core does.
struct Captured {
  Capture_Handler *handler = new Capture_Handler;
  ~Captured() { handler->remove_ref(); }
};

// Joins the chunks received from a client into requests. Only the last
// byte of each chunk decides: a line feed ends the request, a backslash
// before it continues the request on the next line. Chunks are chained as
// they are (no copying); the framer knows no sockets and no threads.
#pragma once

#include <cstddef>

class ACE_Message_Block;

class Qorrfc_Framer {
 public:
  // A request (without its final line feed) larger than this is refused:
  // a client that never sends a line feed must not grow the server.
  static constexpr size_t DEFAULT_MAX_REQUEST = 16 * 1024 * 1024;

  enum Result {
    INCOMPLETE,  // wait for more chunks
    CONTINUED,   // a continuation line ended: the client expects "OK\n"
    COMPLETE,    // take_request() gives the request
    TOO_LARGE    // the request passed the limit; its chunks are released
  };

  explicit Qorrfc_Framer(size_t max_request = DEFAULT_MAX_REQUEST);
  ~Qorrfc_Framer();
  Qorrfc_Framer(const Qorrfc_Framer &) = delete;
  Qorrfc_Framer &operator=(const Qorrfc_Framer &) = delete;

  // Takes ownership of one received chunk. An empty chunk is released and
  // changes nothing.
  Result add(ACE_Message_Block *chunk);
  // After COMPLETE: the request's chain; the caller releases it. The
  // framer starts a new request.
  ACE_Message_Block *take_request();
  // Bytes of the request being assembled.
  size_t size() const { return size_; }

 private:
  void reset();

  size_t max_request_;
  ACE_Message_Block *head_ = nullptr;
  ACE_Message_Block *tail_ = nullptr;
  size_t size_ = 0;
};

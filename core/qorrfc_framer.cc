#include "qorrfc_framer.h"

#include <ace/Message_Block.h>

Qorrfc_Framer::Qorrfc_Framer(size_t max_request) : max_request_(max_request) {}

Qorrfc_Framer::~Qorrfc_Framer() { reset(); }

void Qorrfc_Framer::reset() {
  if (head_) head_->release();
  head_ = tail_ = nullptr;
  size_ = 0;
}

Qorrfc_Framer::Result Qorrfc_Framer::add(ACE_Message_Block *chunk) {
  size_t len = chunk->length();
  if (len == 0) {
    chunk->release();
    return INCOMPLETE;
  }
  chunk->cont(nullptr);
  if (tail_)
    tail_->cont(chunk);
  else
    head_ = chunk;
  tail_ = chunk;
  size_ += len;

  Result result = INCOMPLETE;
  const char *last = chunk->wr_ptr() - 1;
  if (*last == '\n') {
    bool continued = len >= 2 && last[-1] == '\\';
    size_t marks = continued ? 2 : 1;
    chunk->wr_ptr(chunk->wr_ptr() - marks);
    size_ -= marks;
    result = continued ? CONTINUED : COMPLETE;
  }
  // An incomplete request only grows, so its size is already a lower
  // bound of the final request.
  if (size_ > max_request_) {
    reset();
    return TOO_LARGE;
  }
  return result;
}

ACE_Message_Block *Qorrfc_Framer::take_request() {
  ACE_Message_Block *request = head_;
  head_ = tail_ = nullptr;
  size_ = 0;
  return request;
}

#include "acemb_input_stream.h"

#include <ace/Message_Block.h>
#include <ace/OS_NS_string.h>

ACEMBInputStream::ACEMBInputStream(ACE_Message_Block *chain, const char *prefix,
                                   size_t prefix_length)
    : current_(chain) {
  if (prefix) prefix_.assign(prefix, prefix + prefix_length);
}

XMLSize_t ACEMBInputStream::readBytes(XMLByte *buffer, XMLSize_t max) {
  if (prefix_read_ < prefix_.size()) {
    size_t n = prefix_.size() - prefix_read_;
    if (n > max) n = max;
    ACE_OS::memcpy(buffer, prefix_.data() + prefix_read_, n);
    prefix_read_ += n;
    return n;
  }
  while (current_ != nullptr && current_->length() == 0) current_ = current_->cont();
  if (current_ == nullptr) return 0;
  size_t n = current_->length();
  if (n > max) n = max;
  ACE_OS::memcpy(buffer, current_->rd_ptr(), n);
  current_->rd_ptr(n);
  return n;
}

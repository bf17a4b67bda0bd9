#include "acemb_input_source.h"

#include "acemb_input_stream.h"

XERCES_CPP_NAMESPACE_USE

ACEMBInputSource::ACEMBInputSource(ACE_Message_Block *chain, const char *prefix,
                                   size_t prefix_length)
    : chain_(chain), prefix_(prefix), prefix_length_(prefix_length) {}

BinInputStream *ACEMBInputSource::makeStream() const {
  return new ACEMBInputStream(chain_, prefix_, prefix_length_);
}

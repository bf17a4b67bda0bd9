// An input source over a message-block chain with an optional prefix; each
// stream it makes reads the same chain (see ACEMBInputStream).
#pragma once

#include <xercesc/sax/InputSource.hpp>

class ACE_Message_Block;

class ACEMBInputSource : public XERCES_CPP_NAMESPACE::InputSource {
 public:
  // Neither the chain nor the prefix is owned; both must outlive parsing.
  explicit ACEMBInputSource(ACE_Message_Block *chain, const char *prefix = nullptr,
                            size_t prefix_length = 0);

  // Called by the parser when it starts reading.
  XERCES_CPP_NAMESPACE::BinInputStream *makeStream() const override;

 private:
  ACE_Message_Block *chain_;
  const char *prefix_;
  size_t prefix_length_;
};

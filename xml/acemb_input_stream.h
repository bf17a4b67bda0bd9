// Feeds a parser first a prefix, then the bytes of a message-block chain.
// Reading consumes the chain (its read positions advance), so a chain can
// be parsed once; a read never mixes prefix and message bytes.
#pragma once

#include <xercesc/util/BinInputStream.hpp>

#include <vector>

class ACE_Message_Block;

class ACEMBInputStream : public XERCES_CPP_NAMESPACE::BinInputStream {
 public:
  // chain is not owned and must outlive the stream; the prefix is copied.
  ACEMBInputStream(ACE_Message_Block *chain, const char *prefix, size_t prefix_length);

  // Called by the parser for more bytes; 0 at the end.
  XMLSize_t readBytes(XMLByte *buffer, XMLSize_t max) override;
  // Called by the parser for error positions; always 0.
  XMLFilePos curPos() const override { return 0; }
  // Called by the parser to learn the media type; none.
  const XMLCh *getContentType() const override { return nullptr; }

 private:
  ACE_Message_Block *current_;
  std::vector<char> prefix_;
  size_t prefix_read_ = 0;
};

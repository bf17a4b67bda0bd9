#include "qorrfc_compat_records.h"

#include <ace/OS_NS_string.h>

#include <string>

#include "qorrfc_gather_writer.h"
#include "sapitab.h"

namespace {

const char DATA_FLAG = static_cast<char>(0xFF);
const char MESSAGE_FLAG = 0;
const char FILL_TEXT[] = "**invalid**";

// Adds text left-aligned in width bytes: cut, or padded with blanks that
// come from one constant block instead of a buffer of the record's size.
void add_padded(Qorrfc_Gather_Writer &out, const char *text, size_t length, size_t width) {
  static const std::string blanks(4096, ' ');
  size_t take = length < width ? length : width;
  out.add(text, take);
  for (size_t left = width - take; left > 0;) {
    size_t n = left < blanks.size() ? left : blanks.size();
    out.add(blanks.data(), n);
    left -= n;
  }
}

}  // namespace

int Qorrfc_Compat_Records::write_chunk(ACE_HANDLE socket, ITAB_H table, size_t n) {
  Qorrfc_Gather_Writer out(socket);
  size_t row_length = table ? ItLeng(table) : 0;
  unsigned row = 1;
  // The records run on across the lines of the table. Lines that lie back
  // to back in memory (those of one received chunk do) are read as one
  // span, so a record comes out in one piece however the lines cut it:
  // one range per record instead of one per fragment.
  const char *span = nullptr;
  size_t span_length = 0;
  auto next_span = [&](size_t wanted) {
    span = row_length ? static_cast<const char *>(ItGetLine(table, row)) : nullptr;
    span_length = 0;
    if (span == nullptr) return;
    span_length = row_length;
    ++row;
    while (span_length < wanted && static_cast<const char *>(ItGetLine(table, row)) == span + span_length) {
      span_length += row_length;
      ++row;
    }
  };
  next_span(n);
  size_t offset = 0;
  while (n > 0 && span != nullptr && record_length_ > 0) {
    size_t take = record_length_ - position_;
    if (take > span_length - offset) take = span_length - offset;
    if (take > n) take = n;
    out.add(span + offset, take);
    n -= take;
    position_ += take;
    offset += take;
    if (offset == span_length) {
      next_span(n);
      offset = 0;
    }
    if (position_ == record_length_) {
      out.add(&DATA_FLAG, 1);
      position_ = 0;
    }
  }
  return out.flush();
}

void Qorrfc_Compat_Records::write_message(ACE_HANDLE socket, const char *text) {
  Qorrfc_Gather_Writer out(socket);
  if (position_ != 0) {
    add_padded(out, FILL_TEXT, sizeof FILL_TEXT - 1, record_length_ - position_);
    out.add(&MESSAGE_FLAG, 1);
    position_ = 0;
  }
  size_t length = ACE_OS::strlen(text);
  while (length > 0 && text[length - 1] == ' ') --length;
  for (size_t at = 0; at < length && record_length_ > 0; at += record_length_) {
    size_t piece = length - at < record_length_ ? length - at : record_length_;
    add_padded(out, text + at, piece, record_length_);
    out.add(&MESSAGE_FLAG, 1);
  }
  out.flush();
}

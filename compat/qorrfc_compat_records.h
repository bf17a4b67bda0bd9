// The byte stream of a data connection in the dialog compatibility
// protocol: records of the record length, each followed by a flag byte,
// 0xFF after data and 0x00 after a message. R/3 delivers the data in
// chunks that need not end at a record boundary, so the position in the
// current record carries over from one chunk to the next; a message
// always starts a record of its own, after a fill record that completes
// an unfinished data record.
#pragma once

#include <ace/os_include/sys/os_types.h>

#include <cstddef>

#include "saprfc.h"

class Qorrfc_Compat_Records {
 public:
  void record_length(size_t n) { record_length_ = n; }
  size_t record_length() const { return record_length_; }
  // Data bytes of the current record already written.
  size_t position() const { return position_; }

  // Writes n data bytes taken from the rows of table (row 1 on, each row
  // from left to right) to socket, pointing into the rows instead of
  // copying them; stops early when the table runs out of rows. 0, or -1
  // when a write failed (the position has moved on regardless).
  int write_chunk(ACE_HANDLE socket, ITAB_H table, size_t n);
  // Completes an unfinished data record with the fill text, then writes
  // text without its trailing blanks as message records of the record
  // length. An empty text writes no message record. Write failures are
  // ignored: the extraction is ending anyway.
  void write_message(ACE_HANDLE socket, const char *text);

 private:
  size_t record_length_ = 0;
  size_t position_ = 0;
};

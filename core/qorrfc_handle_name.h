// Composes connection handles. A handle is a capability: whoever quotes it
// may use that connection (and the R/3 logon it holds), so apart from the
// serial digits it must not be guessable from other handles.
#pragma once

#include <cstddef>

class Qorrfc_Handle_Name {
 public:
  enum { MAX_LEN = 129, RANDOM_BYTES = 16 };

  // The last four digits of the "%04hu" form of serial, then "0x" and 32
  // lower-case hex digits from the operating system's random source.
  // serial_text receives the full "%04hu" form (for the log). Returns 0,
  // or -1 when no random bytes could be had.
  static int compose(unsigned short serial, char (&handle)[MAX_LEN + 1], char (&serial_text)[8]);
};

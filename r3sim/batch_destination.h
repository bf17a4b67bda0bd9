// Where the background jobs of a report variant deliver their data: the
// variant's RFC destination, the program id registered there and the
// gateway to reach it. When batch mode cannot work for the variant, the
// message says why and the other values are blank.
#pragma once

#include <string>

#include "call.h"

namespace r3sim {

struct BatchDestination {
  std::string dest;
  std::string progid;
  std::string gwhost;
  std::string gwserv;
  // 'X' when the destination names its gateway host; blank when the jobs
  // use this system's own gateway, whose host the partner already knows.
  char gwflag = ' ';
  std::string message;

  // Reads VARID and RFCDES at every call, so tests may change them.
  static BatchDestination of_variant(Call &call, const std::string &report,
                                     const std::string &variant);
  // The same for an RFC destination named directly.
  static BatchDestination of_destination(Call &call, const std::string &dest);
};

}  // namespace r3sim

// Whether the user of a session may read the tables of an authorisation
// group (DD02L CCLASS), by the groups USR02 TABAUTH grants the user.
#pragma once

#include <string>

#include "call.h"

namespace r3sim {

class TableAuthority {
 public:
  // True for an empty group, a user granted "*" or the group itself.
  static bool may_read(Call &call, const std::string &group);
};

}  // namespace r3sim

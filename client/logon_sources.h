// Completes the logon options of a command line from the places a user
// keeps them: a named destination, and for the password a private file,
// the environment or a prompt, so that it need not be on the command line.
#pragma once

#include <string>

#include "qorcli_command_line.h"

namespace qorclient {

class LogonSources {
 public:
  // Options given on the command line win over the destination. The
  // password is taken from the first of: --password, --password-file,
  // QORCLI_PASSWORD, the destination (only from a private file), a prompt
  // when standard input is a terminal. False with why when a named source
  // cannot be used.
  static bool complete(QorcliCommandLine &cl, std::string &why);
};

}  // namespace qorclient

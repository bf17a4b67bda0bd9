// Where a password comes from when it is not on the command line, where
// every user of the machine sees it: a private file, the environment, or
// a prompt that does not echo.
#pragma once

#include <string>

namespace qorclient {

class PasswordSource {
 public:
  // The environment variable that may hold the password.
  static const char *const kVariable;

  // Says why a file holding a secret is not safe to use (readable or
  // writable by group or others, or owned by another user), or "" when it
  // is private. The file must exist.
  static std::string privacy_problem(const std::string &path);

  // The first line of a private file; false with why otherwise.
  static bool from_file(const std::string &path, std::string &password, std::string &why);

  // QORCLI_PASSWORD; false when it is not set.
  static bool from_environment(std::string &password);

  // True when standard input is a terminal that a prompt can ask on.
  static bool can_prompt();
  // Writes the prompt to standard error and reads one line from the
  // terminal with echo off (restored also when a signal ends the
  // program); false at end of input.
  static bool prompt(const std::string &text, std::string &password);
};

}  // namespace qorclient

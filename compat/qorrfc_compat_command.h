// One command line of the compatibility protocols, split into tokens at
// blanks, line feeds and carriage returns (a run of them counts as one).
#pragma once

#include <string>
#include <vector>

struct Qorrfc_Compat_Command {
  // Splits text; a NUL byte ends the line. A line without any token has
  // the command " ".
  explicit Qorrfc_Compat_Command(std::string line);

  std::string text;                 // the whole line
  std::vector<std::string> tokens;  // the command first, never empty

  const std::string &name() const { return tokens.front(); }
  // The line as the log may show it: the value of a password-setting
  // command is masked (the password encoding is no secret).
  std::string log_text() const;
  // Token i (the command is 0), or null when the line has fewer.
  const char *token(size_t i) const { return i < tokens.size() ? tokens[i].c_str() : nullptr; }
};

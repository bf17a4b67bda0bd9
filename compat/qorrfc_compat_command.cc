#include "qorrfc_compat_command.h"

#include <cstring>

Qorrfc_Compat_Command::Qorrfc_Compat_Command(std::string line) : text(std::move(line)) {
  text.resize(strnlen(text.c_str(), text.size()));
  static const char separators[] = " \n\r";
  size_t at = text.find_first_not_of(separators);
  while (at != std::string::npos) {
    size_t end = text.find_first_of(separators, at);
    tokens.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    at = end == std::string::npos ? end : text.find_first_not_of(separators, end);
  }
  if (tokens.empty()) tokens.push_back(" ");
}

std::string Qorrfc_Compat_Command::log_text() const {
  if ((name() == "CPARM" || name() == "CPICPARM") && tokens.size() > 1 && tokens[1] == "p")
    return name() + " p ????????";
  return text;
}

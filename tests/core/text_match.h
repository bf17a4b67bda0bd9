// Small text patterns for tests (std::regex trips GCC's warnings in
// sanitizer builds): in a pattern, '#' stands for one or more digits.
#pragma once

#include <cctype>
#include <string>

namespace qtest {

// Length of the match of pattern at text[at], or npos.
inline size_t match_at(const std::string &text, size_t at, const std::string &pattern) {
  size_t t = at;
  for (char p : pattern) {
    if (p == '#') {
      size_t start = t;
      while (t < text.size() && std::isdigit(static_cast<unsigned char>(text[t]))) ++t;
      if (t == start) return std::string::npos;
    } else {
      if (t >= text.size() || text[t] != p) return std::string::npos;
      ++t;
    }
  }
  return t - at;
}

inline bool matches(const std::string &text, const std::string &pattern) {
  return match_at(text, 0, pattern) == text.size();
}

inline bool contains_match(const std::string &text, const std::string &pattern) {
  for (size_t at = 0; at < text.size(); ++at)
    if (match_at(text, at, pattern) != std::string::npos) return true;
  return false;
}

// Four serial digits, "0x", 32 lower-case hex digits.
inline bool is_handle(const std::string &h) {
  if (h.size() != 38 || h.compare(4, 2, "0x") != 0) return false;
  for (size_t i = 0; i < 4; ++i)
    if (!std::isdigit(static_cast<unsigned char>(h[i]))) return false;
  for (size_t i = 6; i < h.size(); ++i)
    if (!std::isdigit(static_cast<unsigned char>(h[i])) && (h[i] < 'a' || h[i] > 'f')) return false;
  return true;
}

}  // namespace qtest

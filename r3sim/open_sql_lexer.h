// Splits an Open SQL condition into tokens: words (upper-cased names and
// keywords, with '~' and '/'), literals in single quotes (quotes doubled
// inside), numbers, and the operator symbols. Anything else is an error.
#pragma once

#include <string>
#include <vector>

namespace r3sim {

struct Token {
  enum Kind { kEnd, kWord, kString, kNumber, kSymbol } kind = kEnd;
  std::string text;  // words upper case; strings without quotes
  size_t pos = 0;
};

// The tokens of text, ending with a token of kind kEnd; throws OpenSqlError.
std::vector<Token> tokenize_open_sql(const std::string &text);

}  // namespace r3sim

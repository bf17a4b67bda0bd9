#include "open_sql_lexer.h"

#include <cctype>

#include "open_sql.h"

namespace r3sim {

namespace {

bool word_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '/' || c == '~';
}

}  // namespace

std::vector<Token> tokenize_open_sql(const std::string &s) {
  std::vector<Token> out;
  size_t i = 0;
  while (i < s.size()) {
    char c = s[i];
    if (std::isspace(static_cast<unsigned char>(c))) { ++i; continue; }
    Token t;
    t.pos = i;
    if (c == '\'') {
      t.kind = Token::kString;
      ++i;
      for (;;) {
        if (i >= s.size()) throw OpenSqlError("Literal not closed at position " + std::to_string(t.pos + 1));
        if (s[i] == '\'') {
          if (i + 1 < s.size() && s[i + 1] == '\'') { t.text += '\''; i += 2; continue; }
          ++i;
          break;
        }
        t.text += s[i++];
      }
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               ((c == '-' || c == '+') && i + 1 < s.size() &&
                std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
      t.kind = Token::kNumber;
      t.text += s[i++];
      while (i < s.size() && (std::isdigit(static_cast<unsigned char>(s[i])) || s[i] == '.'))
        t.text += s[i++];
    } else if (word_char(c)) {
      t.kind = Token::kWord;
      while (i < s.size() && word_char(s[i]))
        t.text += static_cast<char>(std::toupper(static_cast<unsigned char>(s[i++])));
    } else {
      t.kind = Token::kSymbol;
      static const char *two[] = {"<=", ">=", "<>", "=<", "=>", "><"};
      t.text = std::string(1, c);
      for (const char *op : two)
        if (s.compare(i, 2, op) == 0) t.text = op;
      if (t.text.size() == 1 && std::string("=<>(),*").find(c) == std::string::npos)
        throw OpenSqlError("Invalid character '" + t.text + "' at position " + std::to_string(i + 1));
      i += t.text.size();
    }
    out.push_back(t);
  }
  Token end;
  end.pos = s.size();
  out.push_back(end);
  return out;
}

}  // namespace r3sim

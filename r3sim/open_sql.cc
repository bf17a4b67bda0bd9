#include "open_sql.h"

#include <cctype>
#include <cstdlib>

#include "aggregate.h"
#include "open_sql_lexer.h"

namespace r3sim {

namespace {

const char *comparison(const std::string &op) {
  if (op == "EQ" || op == "=") return "=";
  if (op == "NE" || op == "<>" || op == "><") return "<>";
  if (op == "LT" || op == "<") return "<";
  if (op == "LE" || op == "<=" || op == "=<") return "<=";
  if (op == "GT" || op == ">") return ">";
  if (op == "GE" || op == ">=" || op == "=>") return ">=";
  return nullptr;
}

class Parser {
 public:
  Parser(const std::vector<Token> &tokens, const FieldResolver &resolver)
      : t_(tokens), resolver_(resolver) {}

  SqlCondition run() {
    condition();
    if (peek().kind != Token::kEnd) fail("Unexpected '" + peek().text + "'");
    return std::move(out_);
  }

 private:
  struct Operand {
    bool is_field = false;
    SqlField field;
    Token literal;
  };

  const Token &peek(size_t ahead = 0) const {
    size_t k = i_ + ahead < t_.size() ? i_ + ahead : t_.size() - 1;
    return t_[k];
  }
  const Token &take() { const Token &t = peek(); if (i_ + 1 < t_.size()) ++i_; return t; }
  bool is_word(const char *w, size_t ahead = 0) const {
    return peek(ahead).kind == Token::kWord && peek(ahead).text == w;
  }
  bool accept_word(const char *w) {
    if (!is_word(w)) return false;
    take();
    return true;
  }
  void expect_symbol(const char *s) {
    if (peek().kind != Token::kSymbol || peek().text != s) fail(std::string("Expected '") + s + "'");
    take();
  }
  [[noreturn]] void fail(const std::string &msg) const {
    throw OpenSqlError(msg + " at position " + std::to_string(peek().pos + 1));
  }

  void condition() {
    term();
    while (accept_word("OR")) { out_.sql += " OR "; term(); }
  }
  void term() {
    factor();
    while (accept_word("AND")) { out_.sql += " AND "; factor(); }
  }
  void factor() {
    if (accept_word("NOT")) { out_.sql += "NOT "; factor(); return; }
    if (peek().kind == Token::kSymbol && peek().text == "(") {
      take();
      out_.sql += "(";
      condition();
      expect_symbol(")");
      out_.sql += ")";
      return;
    }
    predicate();
  }

  Operand operand() {
    Operand o;
    const Token &t = peek();
    if (t.kind == Token::kString || t.kind == Token::kNumber) {
      o.literal = take();
      return o;
    }
    if (t.kind != Token::kWord || is_reserved(t.text)) fail("Field or literal expected");
    if (peek(1).kind == Token::kSymbol && peek(1).text == "(") return aggregate();
    std::string word = take().text;
    std::string qualifier, name = word;
    size_t tilde = word.find('~');
    if (tilde != std::string::npos) {
      qualifier = word.substr(0, tilde);
      name = word.substr(tilde + 1);
    }
    auto f = resolver_(qualifier, name);
    if (!f) throw OpenSqlError("Unknown field " + word);
    o.is_field = true;
    o.field = *f;
    return o;
  }

  // SUM( f ), COUNT( * ), COUNT( DISTINCT f ) and the like, as HAVING
  // clauses compare them.
  Operand aggregate() {
    const Token &name = take();
    auto a = aggregate_named(name.text);
    if (!a || *a == Aggregate::kNone) fail("Unknown function " + name.text);
    expect_symbol("(");
    bool distinct = accept_word("DISTINCT");
    Operand o;
    o.is_field = true;
    if (peek().kind == Token::kSymbol && peek().text == "*") {
      if (*a != Aggregate::kCount || distinct) fail("Only COUNT( * ) takes '*'");
      take();
      o.field.sql = aggregate_sql(*a, "*", false);
      o.field.field.name = "*";
      o.field.field = aggregate_result(*a, o.field.field);
    } else {
      // SQL has no aggregate of an aggregate.
      if (peek(1).kind == Token::kSymbol && peek(1).text == "(") fail("Field expected");
      Operand arg = operand();
      if (!arg.is_field) fail("Field expected");
      o.field.sql = aggregate_sql(*a, arg.field.sql, distinct);
      o.field.field = aggregate_result(*a, arg.field.field);
    }
    expect_symbol(")");
    return o;
  }

  static bool is_reserved(const std::string &w) {
    for (const char *r : {"AND", "OR", "NOT", "LIKE", "IN", "BETWEEN", "IS", "NULL", "ESCAPE"})
      if (w == r) return true;
    return comparison(w) != nullptr;
  }

  // Emits an operand; a literal is typed by the field on the other side.
  void emit(const Operand &o, const Operand &other) {
    if (o.is_field) { out_.sql += o.field.sql; return; }
    out_.sql += "?";
    out_.params.push_back(OpenSqlTranslator::typed_literal(
        other.is_field ? &other.field.field : nullptr, o.literal.text,
        o.literal.kind == Token::kNumber));
  }

  void literal_list(const Operand &left) {
    expect_symbol("(");
    out_.sql += "(";
    for (bool first = true;; first = false) {
      Operand o = operand();
      if (!first) out_.sql += ", ";
      emit(o, left);
      if (peek().kind == Token::kSymbol && peek().text == ",") { take(); continue; }
      break;
    }
    expect_symbol(")");
    out_.sql += ")";
  }

  void predicate() {
    Operand left = operand();
    bool negated = false;
    if (accept_word("IS")) {
      emit(left, left);
      bool isnot = accept_word("NOT");
      if (!accept_word("NULL")) fail("NULL expected");
      out_.sql += isnot ? " IS NOT NULL" : " IS NULL";
      return;
    }
    if (is_word("NOT") && (is_word("LIKE", 1) || is_word("IN", 1) || is_word("BETWEEN", 1))) {
      take();
      negated = true;
    }
    const Token &op = take();
    if (op.kind == Token::kEnd) fail("Operator expected");
    if (op.kind == Token::kWord && op.text == "LIKE") {
      emit(left, left);
      out_.sql += negated ? " NOT LIKE " : " LIKE ";
      Operand pattern = operand();
      if (pattern.is_field) fail("Pattern expected");
      out_.sql += "?";
      out_.params.push_back(Value::text(pattern.literal.text));
      if (accept_word("ESCAPE")) {
        Operand esc = operand();
        if (esc.is_field || esc.literal.text.size() != 1) fail("One escape character expected");
        out_.sql += " ESCAPE ?";
        out_.params.push_back(Value::text(esc.literal.text));
      }
      return;
    }
    if (op.kind == Token::kWord && op.text == "IN") {
      emit(left, left);
      out_.sql += negated ? " NOT IN " : " IN ";
      literal_list(left);
      return;
    }
    if (op.kind == Token::kWord && op.text == "BETWEEN") {
      emit(left, left);
      out_.sql += negated ? " NOT BETWEEN " : " BETWEEN ";
      emit(operand(), left);
      if (!accept_word("AND")) fail("AND expected");
      out_.sql += " AND ";
      emit(operand(), left);
      return;
    }
    const char *cmp = negated ? nullptr : comparison(op.text);
    if (!cmp) {
      --i_;
      fail("Invalid operator '" + op.text + "'");
    }
    Operand right = operand();
    emit(left, right);
    out_.sql += std::string(" ") + cmp + " ";
    emit(right, left);
  }

  const std::vector<Token> &t_;
  const FieldResolver &resolver_;
  size_t i_ = 0;
  SqlCondition out_;
};

}  // namespace

SqlCondition OpenSqlTranslator::translate(const std::string &text) const {
  std::vector<Token> tokens = tokenize_open_sql(text);
  if (tokens.size() == 1) return {};
  return Parser(tokens, resolver_).run();
}

Value OpenSqlTranslator::typed_literal(const AbapField *field, const std::string &lit,
                                       bool numeric) {
  if (!field) return numeric ? Value::real(std::strtod(lit.c_str(), nullptr)) : Value::text(lit);
  switch (field->type) {
    case AbapType::kInt4:
    case AbapType::kInt2:
    case AbapType::kInt1: return Value::integer(std::strtoll(lit.c_str(), nullptr, 10));
    case AbapType::kFloat:
    case AbapType::kPacked: return Value::real(std::strtod(lit.c_str(), nullptr));
    case AbapType::kNumc: {
      bool digits = !lit.empty();
      for (char c : lit) digits = digits && std::isdigit(static_cast<unsigned char>(c));
      if (digits && lit.size() < field->length)
        return Value::text(std::string(field->length - lit.size(), '0') + lit);
      return Value::text(lit);
    }
    case AbapType::kChar: {
      size_t end = lit.find_last_not_of(' ');
      return Value::text(end == std::string::npos ? "" : lit.substr(0, end + 1));
    }
    default: return Value::text(lit);
  }
}

}  // namespace r3sim

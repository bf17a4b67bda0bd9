// Translates an ABAP Open SQL condition (the text of a WHERE, ON or HAVING
// clause) into an SQLite expression with bound parameters. The output is
// rebuilt from tokens: every literal becomes a parameter and every field a
// quoted column, so no text from a client reaches SQLite as SQL.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "abap_field.h"
#include "value.h"

namespace r3sim {

struct OpenSqlError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A field as SQL names it (for example "T1"."CARRID") and its dictionary
// entry, which decides how literals compared with it are typed.
struct SqlField {
  std::string sql;
  AbapField field;
};

// Finds a field: qualifier is the table or alias before '~' (empty when
// none), name the field; both upper case. Nothing when unknown.
using FieldResolver =
    std::function<std::optional<SqlField>(const std::string &qualifier, const std::string &name)>;

struct SqlCondition {
  std::string sql;
  std::vector<Value> params;
};

class OpenSqlTranslator {
 public:
  explicit OpenSqlTranslator(FieldResolver resolver) : resolver_(std::move(resolver)) {}
  // Throws OpenSqlError for a syntax error or an unknown field.
  SqlCondition translate(const std::string &text) const;

  // A literal as the database stores values of the field's type: NUMC
  // zero-padded, character fields without trailing blanks, numbers as
  // numbers.
  static Value typed_literal(const AbapField *field, const std::string &literal, bool numeric);

 private:
  FieldResolver resolver_;
};

}  // namespace r3sim

// A select as the server describes it in the request parameters: JDATA
// (the kind line, table lines, clause groups of text lines) and MDATA (one
// line per field). Parsing checks only the form of the lines; the tables
// and fields are checked against the dictionary when the statement is built.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace r3sim {

// A select that cannot run; the text goes to the server as the EMSG of
// a data chunk, so it says what is wrong in the user's terms.
struct SelectError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct SelectTable {
  std::string name;   // upper case
  std::string alias;  // upper case, empty when none
  std::string join;   // lower case: "inner", "left" or empty
  std::string on;     // join condition, empty when none
};

struct SelectField {
  std::string table;  // table name or alias as given, upper case
  std::string name;   // upper case; "*" for all fields (or COUNT(*))
  std::string alias;  // as given
  bool distinct = false;
  std::string aggregate;  // as given
  bool suppress = false;
};

struct SingleSelect {
  std::vector<SelectTable> tables;
  std::string where, group_by, having, order_by;
  std::vector<SelectField> fields;
};

struct SelectRequest {
  enum class Kind { kSingle, kMany, kJoin };

  Kind kind = Kind::kSingle;
  bool distinct = false;
  // One for a single or join select; the inner selects of an nselect.
  std::vector<SingleSelect> selects;

  // Throws SelectError.
  static SelectRequest parse(const std::vector<std::string> &jdata,
                             const std::vector<std::string> &mdata);
};

}  // namespace r3sim

// The record layout a select's metadata lines describe, and the decoding
// of one field of a record into text. A metadata line reads
// "TABLE,FIELD,ALIAS,TYPE,OFFSET,LENGTH,DECIMALS,DESCRIPTION" (the
// description may hold commas; it is last).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qorclient {

struct FieldLayout {
  std::string table, name, alias, description;
  char type = 'C';  // ABAP type letter: C N D T X I s b F P
  size_t offset = 0, length = 0;
  int decimals = 0;

  // The column heading: the alias when there is one, else the name.
  const std::string &heading() const { return alias.empty() ? name : alias; }
  // Whether the value prints as a number (JSON without quotes).
  bool numeric() const;
  // The field's value in `record` as text: C without trailing blanks,
  // D as YYYY-MM-DD, T as HH:MM:SS (both empty when initial), X in hex,
  // I s b F P as decimal numbers.
  std::string decode(const char *record) const;

  // False when the line is not a metadata line.
  static bool parse(const std::string &line, FieldLayout &field);
};

// The width of the records the fields make up: the end of the last field,
// rounded up to the strictest alignment among them (I on 4, s on 2, F on
// 8), as the rows of an ABAP structure are.
size_t record_width(const std::vector<FieldLayout> &fields);

}  // namespace qorclient

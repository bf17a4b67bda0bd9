// Writes extracted rows in the format a user asked for: CSV with a header
// line, JSON lines (one object per row), or the raw records unchanged.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "field_layout.h"

namespace qorclient {

class RowWriter {
 public:
  virtual ~RowWriter() = default;
  // Called once before the first row.
  virtual void begin(const std::vector<FieldLayout> &fields, size_t width) = 0;
  virtual void row(const char *record) = 0;

  // "csv", "json" or "raw"; nullptr for any other name.
  static std::unique_ptr<RowWriter> make(const std::string &format, FILE *out);
};

// A CSV value: quoted when it holds a comma, a quote, a line break or
// leading or trailing blanks; quotes doubled.
std::string csv_value(const std::string &text);
// A JSON string literal with the escapes JSON requires.
std::string json_string(const std::string &text);

}  // namespace qorclient

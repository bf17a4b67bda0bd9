// The line with which the server answers a successful logon: R/3's system
// information (fixed-width fields, trailing blanks cut), the code page,
// and the server's own comma-separated trailer. Split into named fields so
// that a person can read it.
#pragma once

#include <string>
#include <vector>

namespace qorclient {

class SystemInfoLine {
 public:
  struct Field {
    std::string label;  // for a person: "system id"
    std::string key;    // for a program: "system_id"
    std::string value;  // as the line carries it, blanks cut
    std::string shown;  // value with its meaning, for the labelled form
  };

  // False when the line does not have the trailer's form.
  bool parse(const std::string &line);
  const std::vector<Field> &fields() const { return fields_; }

  // One "label  value" line per field.
  std::string labelled() const;
  // One JSON object, without line feed.
  std::string json() const;

 private:
  std::vector<Field> fields_;
};

}  // namespace qorclient

// One field of a table or structure as the data dictionary describes it,
// and the layout of a row of such fields in the ABAP binary form.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace r3sim {

// Type letters of the ABAP elementary types a row can hold.
enum class AbapType : char {
  kChar = 'C',
  kNumc = 'N',
  kDate = 'D',
  kTime = 'T',
  kRaw = 'X',
  kInt4 = 'I',
  kInt2 = 's',
  kInt1 = 'b',
  kFloat = 'F',
  kPacked = 'P',
};

// True for a letter that names one of the types above.
bool is_abap_type(char letter);

struct AbapField {
  std::string table;
  std::string name;
  AbapType type = AbapType::kChar;
  unsigned length = 0;    // bytes in the binary layout
  unsigned decimals = 0;  // packed numbers only
  std::string text;       // description from the dictionary
  bool key = false;
  unsigned offset = 0;    // set by RowLayout

  // Width of the field's character form (what RFC_READ_TABLE shows).
  unsigned output_length() const;
  // Alignment ABAP gives the type inside a structure.
  unsigned alignment() const;
  // RFC type code used when the field travels as a parameter.
  int rfc_type() const;
};

// Fields with offsets as ABAP lays them out in a structure: each field at
// its type's alignment, the total padded to the strictest alignment.
class RowLayout {
 public:
  RowLayout() = default;
  explicit RowLayout(std::vector<AbapField> fields);

  const std::vector<AbapField> &fields() const { return fields_; }
  size_t width() const { return width_; }
  // Width of the character form with one delimiter byte between fields
  // when delimited.
  size_t text_width(bool delimited) const;

 private:
  std::vector<AbapField> fields_;
  size_t width_ = 0;
};

}  // namespace r3sim

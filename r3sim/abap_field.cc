#include "abap_field.h"

#include <cstring>

namespace r3sim {

bool is_abap_type(char letter) {
  return letter != '\0' && std::strchr("CNDTXIsbFP", letter) != nullptr;
}

unsigned AbapField::output_length() const {
  switch (type) {
    case AbapType::kRaw: return 2 * length;
    case AbapType::kInt4: return 11;
    case AbapType::kInt2: return 6;
    case AbapType::kInt1: return 3;
    case AbapType::kFloat: return 24;
    // Digits, the sign and the decimal point when there are decimals.
    case AbapType::kPacked: return 2 * length + (decimals > 0 ? 1 : 0);
    default: return length;
  }
}

unsigned AbapField::alignment() const {
  switch (type) {
    case AbapType::kInt4: return 4;
    case AbapType::kInt2: return 2;
    case AbapType::kFloat: return 8;
    default: return 1;
  }
}

int AbapField::rfc_type() const {
  switch (type) {
    case AbapType::kChar: return 0;
    case AbapType::kDate: return 1;
    case AbapType::kPacked: return 2;
    case AbapType::kTime: return 3;
    case AbapType::kRaw: return 4;
    case AbapType::kNumc: return 6;
    case AbapType::kFloat: return 7;
    case AbapType::kInt4: return 8;
    case AbapType::kInt2: return 9;
    case AbapType::kInt1: return 10;
  }
  return 0;
}

RowLayout::RowLayout(std::vector<AbapField> fields) : fields_(std::move(fields)) {
  unsigned strictest = 1;
  size_t at = 0;
  for (auto &f : fields_) {
    unsigned a = f.alignment();
    if (a > strictest) strictest = a;
    at = (at + a - 1) / a * a;
    f.offset = static_cast<unsigned>(at);
    at += f.length;
  }
  width_ = (at + strictest - 1) / strictest * strictest;
}

size_t RowLayout::text_width(bool delimited) const {
  size_t w = 0;
  for (const auto &f : fields_) w += f.output_length();
  if (delimited && !fields_.empty()) w += fields_.size() - 1;
  return w;
}

}  // namespace r3sim

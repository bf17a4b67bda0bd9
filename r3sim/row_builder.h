// Turns values into ABAP data: the binary layout that rows travel in, and
// the character form that RFC_READ_TABLE shows. Pure functions, no state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "abap_field.h"
#include "value.h"

namespace r3sim {

class RowBuilder {
 public:
  // Writes field.length bytes at dst in the field's binary form.
  static void put_binary(const AbapField &field, const Value &value, char *dst);
  // Writes field.output_length() bytes at dst in the field's character form.
  static void put_text(const AbapField &field, const Value &value, char *dst);
  // A whole row in the binary layout (layout.width() bytes at dst, the
  // alignment gaps zero); values in the layout's field order, fields
  // without a value get their type's initial value.
  static void build_row(const RowLayout &layout, const std::vector<Value> &values,
                        char *dst);

  // The value scaled by 10^decimals and rounded, as packed fields hold it.
  static int64_t scaled(const Value &value, unsigned decimals);
  // Packed decimal: digits in nibbles, sign nibble C (plus) or D (minus).
  static void pack(int64_t scaled_value, unsigned length, char *dst);
  static int64_t unpack(const char *src, unsigned length);
};

}  // namespace r3sim

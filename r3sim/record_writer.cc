#include "record_writer.h"

#include <cstdint>
#include <cstring>

#include "row_builder.h"

namespace r3sim {

void RecordWriter::write(const Stmt &stmt, char *dst) {
  for (size_t c = 0; c < fields_.size(); ++c) {
    const AbapField &f = fields_[c];
    if (write_direct(stmt.raw(), static_cast<int>(c), f, dst + f.offset)) continue;
    stmt.value_into(static_cast<int>(c), spare_[c]);
    RowBuilder::put_binary(f, spare_[c], dst + f.offset);
  }
}

bool RecordWriter::write_direct(sqlite3_stmt *stmt, int c, const AbapField &f, char *dst) {
  switch (sqlite3_column_type(stmt, c)) {
    case SQLITE_TEXT: {
      if (f.type != AbapType::kChar && f.type != AbapType::kNumc && f.type != AbapType::kDate &&
          f.type != AbapType::kTime)
        return false;
      const char *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, c));
      size_t n = static_cast<size_t>(sqlite3_column_bytes(stmt, c));
      if (f.type == AbapType::kNumc) {
        // Only digits filling the field are copied as they are.
        if (n != f.length) return false;
        for (size_t i = 0; i < n; ++i)
          if (text[i] < '0' || text[i] > '9') return false;
      }
      // C pads with blanks; D and T with zeros, as RowBuilder does.
      char pad = f.type == AbapType::kChar ? ' ' : '0';
      size_t k = n < f.length ? n : f.length;
      if (k) std::memcpy(dst, text, k);
      std::memset(dst + k, pad, f.length - k);
      return true;
    }
    case SQLITE_INTEGER: {
      int64_t v = sqlite3_column_int64(stmt, c);
      if (f.type == AbapType::kInt4) {
        int32_t x = static_cast<int32_t>(v);
        std::memcpy(dst, &x, 4);
      } else if (f.type == AbapType::kInt2) {
        int16_t x = static_cast<int16_t>(v);
        std::memcpy(dst, &x, 2);
      } else if (f.type == AbapType::kInt1) {
        *dst = static_cast<char>(static_cast<uint8_t>(v));
      } else {
        return false;
      }
      return true;
    }
    case SQLITE_FLOAT: {
      if (f.type != AbapType::kFloat) return false;
      double x = sqlite3_column_double(stmt, c);
      std::memcpy(dst, &x, 8);
      return true;
    }
    default: return false;
  }
}

}  // namespace r3sim

#include "row_builder.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace r3sim {

namespace {

int64_t as_int(const Value &v) {
  switch (v.kind) {
    case Value::Kind::kInt: return v.i;
    case Value::Kind::kReal: return std::llround(v.r);
    case Value::Kind::kText: return std::strtoll(v.s.c_str(), nullptr, 10);
    default: return 0;
  }
}

double as_real(const Value &v) {
  switch (v.kind) {
    case Value::Kind::kInt: return static_cast<double>(v.i);
    case Value::Kind::kReal: return v.r;
    case Value::Kind::kText: return std::strtod(v.s.c_str(), nullptr);
    default: return 0;
  }
}

std::string as_text(const Value &v) {
  switch (v.kind) {
    case Value::Kind::kInt: return std::to_string(v.i);
    case Value::Kind::kReal: {
      char b[64];
      std::snprintf(b, sizeof b, "%.15g", v.r);
      return b;
    }
    case Value::Kind::kNull: return "";
    default: return v.s;
  }
}

// Left-aligned, blank-padded (C, D, T).
void put_left(const std::string &s, unsigned n, char *dst, char pad) {
  size_t k = s.size() < n ? s.size() : n;
  std::memcpy(dst, s.data(), k);
  std::memset(dst + k, pad, n - k);
}

// Right-aligned text in n bytes; a text too long keeps its rightmost part
// for digits, as ABAP does when it moves a number into a short field.
void put_right(const std::string &s, unsigned n, char *dst, char pad) {
  if (s.size() >= n) {
    std::memcpy(dst, s.data() + (s.size() - n), n);
    return;
  }
  std::memset(dst, pad, n - s.size());
  std::memcpy(dst + (n - s.size()), s.data(), s.size());
}

// Digits of a NUMC field: the integer value, or the digits of a text.
std::string numc_digits(const Value &v) {
  if (v.kind == Value::Kind::kInt || v.kind == Value::Kind::kReal) {
    int64_t x = as_int(v);
    return std::to_string(x < 0 ? -x : x);
  }
  std::string d;
  for (char c : as_text(v))
    if (c >= '0' && c <= '9') d += c;
  return d;
}

// A number with ABAP's trailing minus sign.
std::string signed_text(int64_t magnitude_scaled, bool negative, unsigned decimals) {
  std::string digits = std::to_string(magnitude_scaled);
  if (decimals > 0) {
    if (digits.size() <= decimals) digits.insert(0, decimals + 1 - digits.size(), '0');
    digits.insert(digits.size() - decimals, 1, '.');
  }
  digits += negative ? '-' : ' ';
  return digits;
}

}  // namespace

int64_t RowBuilder::scaled(const Value &value, unsigned decimals) {
  if (value.kind == Value::Kind::kText) {
    // Exact decimal text: no detour through a double.
    const char *p = value.s.c_str();
    while (*p == ' ') ++p;
    bool neg = false;
    if (*p == '-' || *p == '+') neg = *p++ == '-';
    int64_t v = 0;
    unsigned frac = 0;
    bool in_frac = false;
    for (; *p; ++p) {
      if (*p == '.' && !in_frac) { in_frac = true; continue; }
      if (*p < '0' || *p > '9') break;
      if (in_frac && frac == decimals) {
        if (*p >= '5') ++v;  // round half away from zero on the first cut digit
        break;
      }
      if (v < INT64_MAX / 10) v = v * 10 + (*p - '0');
      if (in_frac) ++frac;
    }
    for (; frac < decimals; ++frac) v *= 10;
    return neg ? -v : v;
  }
  if (value.kind == Value::Kind::kInt) {
    int64_t v = value.i;
    for (unsigned k = 0; k < decimals; ++k) v *= 10;
    return v;
  }
  return std::llround(as_real(value) * std::pow(10.0, decimals));
}

void RowBuilder::pack(int64_t v, unsigned length, char *dst) {
  if (length == 0) return;
  bool neg = v < 0;
  uint64_t m = neg ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  auto *out = reinterpret_cast<unsigned char *>(dst);
  out[length - 1] = static_cast<unsigned char>(((m % 10) << 4) | (neg ? 0xD : 0xC));
  m /= 10;
  for (int i = static_cast<int>(length) - 2; i >= 0; --i) {
    unsigned lo = m % 10;
    m /= 10;
    unsigned hi = m % 10;
    m /= 10;
    out[i] = static_cast<unsigned char>((hi << 4) | lo);
  }
}

int64_t RowBuilder::unpack(const char *src, unsigned length) {
  const auto *in = reinterpret_cast<const unsigned char *>(src);
  int64_t v = 0;
  for (unsigned i = 0; i + 1 < length; ++i) v = v * 100 + (in[i] >> 4) * 10 + (in[i] & 0xF);
  v = v * 10 + (in[length - 1] >> 4);
  unsigned sign = in[length - 1] & 0xF;
  return sign == 0xD || sign == 0xB ? -v : v;
}

void RowBuilder::put_binary(const AbapField &f, const Value &v, char *dst) {
  switch (f.type) {
    case AbapType::kChar:
      // Text straight from the value: the hot path of wide rows.
      if (v.kind == Value::Kind::kText)
        put_left(v.s, f.length, dst, ' ');
      else
        put_left(as_text(v), f.length, dst, ' ');
      break;
    case AbapType::kNumc: put_right(numc_digits(v), f.length, dst, '0'); break;
    case AbapType::kDate:
    case AbapType::kTime: {
      std::string s = as_text(v);
      if (s.empty()) s.assign(f.length, '0');
      put_left(s, f.length, dst, '0');
      break;
    }
    case AbapType::kRaw: put_left(v.kind == Value::Kind::kNull ? "" : v.s, f.length, dst, '\0'); break;
    case AbapType::kInt4: {
      int32_t x = static_cast<int32_t>(as_int(v));
      std::memcpy(dst, &x, 4);
      break;
    }
    case AbapType::kInt2: {
      int16_t x = static_cast<int16_t>(as_int(v));
      std::memcpy(dst, &x, 2);
      break;
    }
    case AbapType::kInt1: *dst = static_cast<char>(static_cast<uint8_t>(as_int(v))); break;
    case AbapType::kFloat: {
      double x = as_real(v);
      std::memcpy(dst, &x, 8);
      break;
    }
    case AbapType::kPacked: pack(scaled(v, f.decimals), f.length, dst); break;
  }
}

void RowBuilder::put_text(const AbapField &f, const Value &v, char *dst) {
  unsigned n = f.output_length();
  switch (f.type) {
    case AbapType::kRaw: {
      static const char hex[] = "0123456789ABCDEF";
      std::string bytes(f.length, '\0');
      put_binary(f, v, bytes.data());
      for (unsigned i = 0; i < f.length; ++i) {
        dst[2 * i] = hex[static_cast<unsigned char>(bytes[i]) >> 4];
        dst[2 * i + 1] = hex[static_cast<unsigned char>(bytes[i]) & 0xF];
      }
      break;
    }
    case AbapType::kInt4:
    case AbapType::kInt2:
    case AbapType::kInt1: {
      int64_t x = as_int(v);
      put_right(signed_text(x < 0 ? -x : x, x < 0, 0), n, dst, ' ');
      break;
    }
    case AbapType::kPacked: {
      int64_t x = scaled(v, f.decimals);
      put_right(signed_text(x < 0 ? -x : x, x < 0, f.decimals), n, dst, ' ');
      break;
    }
    case AbapType::kFloat: {
      char b[40];
      std::snprintf(b, sizeof b, "%.16E", as_real(v));
      put_right(b, n, dst, ' ');
      break;
    }
    default: put_binary(f, v, dst); break;
  }
}

void RowBuilder::build_row(const RowLayout &layout, const std::vector<Value> &values,
                           char *dst) {
  std::memset(dst, 0, layout.width());
  const auto &fields = layout.fields();
  static const Value initial;
  for (size_t i = 0; i < fields.size(); ++i)
    put_binary(fields[i], i < values.size() ? values[i] : initial, dst + fields[i].offset);
}

}  // namespace r3sim

#include "field_layout.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qorclient {

namespace {

bool to_size(const std::string &text, size_t &out) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  out = std::strtoul(text.c_str(), nullptr, 10);
  return true;
}

size_t alignment(char type) {
  switch (type) {
    case 'I': return 4;
    case 's': return 2;
    case 'F': return 8;
    default: return 1;
  }
}

std::string trimmed(const char *p, size_t n) {
  while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0')) --n;
  return std::string(p, n);
}

bool initial(const char *p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != '0' && p[i] != ' ' && p[i] != '\0') return false;
  return true;
}

// Packed decimal: two digits a byte, the last nibble the sign (D or B
// negative), `decimals` digits after the point.
std::string packed(const unsigned char *p, size_t n, int decimals) {
  std::string digits;
  for (size_t i = 0; i < n; ++i) {
    digits += static_cast<char>('0' + (p[i] >> 4));
    if (i + 1 < n) digits += static_cast<char>('0' + (p[i] & 0x0F));
  }
  unsigned sign = n ? (p[n - 1] & 0x0F) : 0x0C;
  for (char &c : digits)
    if (c > '9') c = '0';  // a nibble that is no digit reads as zero
  if (decimals > 0) {
    size_t d = static_cast<size_t>(decimals);
    if (digits.size() <= d) digits.insert(0, d + 1 - digits.size(), '0');
    digits.insert(digits.size() - d, ".");
  }
  size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) first = digits.size() - 1;
  if (digits[first] == '.') --first;
  digits.erase(0, first);
  bool zero = digits.find_first_not_of("0.") == std::string::npos;
  if ((sign == 0x0D || sign == 0x0B) && !zero) digits.insert(0, "-");
  return digits;
}

}  // namespace

bool FieldLayout::numeric() const { return std::strchr("IsbFP", type) != nullptr; }

std::string FieldLayout::decode(const char *record) const {
  const char *p = record + offset;
  char buf[64];
  switch (type) {
    case 'D':
      if (length != 8 || initial(p, 8)) return "";
      return std::string(p, 4) + "-" + std::string(p + 4, 2) + "-" + std::string(p + 6, 2);
    case 'T':
      if (length != 6) return trimmed(p, length);
      return std::string(p, 2) + ":" + std::string(p + 2, 2) + ":" + std::string(p + 4, 2);
    case 'X': {
      static const char hex[] = "0123456789ABCDEF";
      std::string out;
      for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(p[i]);
        out += hex[c >> 4];
        out += hex[c & 0x0F];
      }
      return out;
    }
    case 'I': {
      int32_t v;
      std::memcpy(&v, p, sizeof v);
      return std::to_string(v);
    }
    case 's': {
      int16_t v;
      std::memcpy(&v, p, sizeof v);
      return std::to_string(v);
    }
    case 'b': return std::to_string(static_cast<unsigned char>(*p));
    case 'F': {
      double v;
      std::memcpy(&v, p, sizeof v);
      std::snprintf(buf, sizeof buf, "%.17g", v);
      return buf;
    }
    case 'P': return packed(reinterpret_cast<const unsigned char *>(p), length, decimals);
    default: return trimmed(p, length);
  }
}

bool FieldLayout::parse(const std::string &line, FieldLayout &field) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (parts.size() < 7) {
    size_t comma = line.find(',', start);
    if (comma == std::string::npos) return false;
    parts.push_back(line.substr(start, comma - start));
    start = comma + 1;
  }
  field.table = parts[0];
  field.name = parts[1];
  field.alias = parts[2];
  field.description = line.substr(start);
  if (parts[3].size() != 1 || std::strchr("CNDTXIsbFP", parts[3][0]) == nullptr) return false;
  field.type = parts[3][0];
  size_t decimals = 0;
  if (!to_size(parts[4], field.offset) || !to_size(parts[5], field.length) ||
      !to_size(parts[6], decimals) || field.length == 0)
    return false;
  field.decimals = static_cast<int>(decimals);
  size_t fixed = field.type == 'I' ? 4 : field.type == 's' ? 2 : field.type == 'b' ? 1
               : field.type == 'F' ? 8 : 0;
  return fixed == 0 || field.length == fixed;
}

size_t record_width(const std::vector<FieldLayout> &fields) {
  size_t end = 0, align = 1;
  for (const auto &f : fields) {
    end = std::max(end, f.offset + f.length);
    align = std::max(align, alignment(f.type));
  }
  return (end + align - 1) / align * align;
}

}  // namespace qorclient

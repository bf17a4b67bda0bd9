#include "rfc_wire.h"

#include <cstring>

namespace rfcw {

namespace {

constexpr uint8_t kMagic0 = 'Q', kMagic1 = 'R';

// Reads little-endian fields from a body, failing once past its end.
class Reader {
 public:
  Reader(const char *p, size_t n) : p_(p), left_(n), size_(n) {}
  size_t left() const { return left_; }
  size_t offset() const { return size_ - left_; }

  bool u8(uint8_t &v) { return raw(&v, 1); }
  bool u16(uint16_t &v) {
    uint8_t b[2];
    if (!raw(b, 2)) return false;
    v = static_cast<uint16_t>(b[0] | (b[1] << 8));
    return true;
  }
  bool u32(uint32_t &v) {
    uint8_t b[4];
    if (!raw(b, 4)) return false;
    v = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
        (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return true;
  }
  bool bytes(uint64_t n, const char *&out) {
    if (n > left_) return false;
    out = p_;
    p_ += n;
    left_ -= static_cast<size_t>(n);
    return true;
  }
  bool str16(size_t max, std::string_view &out) {
    uint16_t n;
    const char *d;
    if (!u16(n) || n > max || !bytes(n, d)) return false;
    out = std::string_view(d, n);
    return true;
  }

 private:
  bool raw(void *dst, size_t n) {
    if (n > left_) return false;
    std::memcpy(dst, p_, n);
    p_ += n;
    left_ -= n;
    return true;
  }
  const char *p_;
  size_t left_;
  size_t size_;
};

size_t name_limit(Kind k) {
  return (k == Kind::Call) ? kMaxName : kMaxWord;
}

}  // namespace

bool valid_name(std::string_view s) {
  for (unsigned char c : s)
    if (c <= ' ' || c == 0x7f) return false;
  return true;
}

const char *kind_name(Kind k) {
  static const char *const names[] = {"?",        "LOGON",     "LOGON_OK",  "ERROR",
                                      "CALL",     "REPLY",     "EXCEPTION", "SYSFAILURE",
                                      "CLOSE",    "REGISTER",  "REGISTER_OK", "READY",
                                      "CONV_END", "COUNT_QUERY", "COUNTS",  "MS_QUERY",
                                      "MS_ANSWER"};
  auto i = static_cast<unsigned>(k);
  return i <= kMaxKind ? names[i] : "?";
}

bool parse_header(const uint8_t *b, Header &h, std::string &why) {
  if (b[0] != kMagic0 || b[1] != kMagic1) {
    why = "frame does not start with the protocol's mark";
    return false;
  }
  h.version = b[2];
  if (b[3] == 0 || b[3] > kMaxKind) {
    why = "unknown message kind " + std::to_string(b[3]);
    return false;
  }
  h.kind = static_cast<Kind>(b[3]);
  h.body_size = static_cast<uint32_t>(b[4]) | (static_cast<uint32_t>(b[5]) << 8) |
                (static_cast<uint32_t>(b[6]) << 16) | (static_cast<uint32_t>(b[7]) << 24);
  if (h.body_size > kMaxBody) {
    why = "frame of " + std::to_string(h.body_size) + " bytes exceeds the limit of " +
          std::to_string(kMaxBody);
    return false;
  }
  return true;
}

void write_header(uint8_t *out, Kind kind, uint32_t n) {
  out[0] = kMagic0;
  out[1] = kMagic1;
  out[2] = kVersion;
  out[3] = static_cast<uint8_t>(kind);
  for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<uint8_t>(n >> (8 * i));
}

bool decode(Kind kind, const char *body, size_t size, Message &m, std::string &why) {
  Reader r(body, size);
  m = Message();
  m.kind = kind;
  auto fail = [&](const char *what) {
    why = std::string("malformed ") + kind_name(kind) + " frame: " + what;
    return false;
  };
  if (!r.str16(name_limit(kind), m.name)) return fail("bad name");
  // Exception names may hold blanks ("UNKNOWN FUNCTION"); other names not.
  if (kind == Kind::Exception) {
    for (unsigned char c : m.name)
      if (c < ' ' || c == 0x7f) return fail("exception name holds control bytes");
  } else if (!valid_name(m.name)) {
    return fail("name holds blanks or control bytes");
  }
  uint16_t ntexts;
  if (!r.u16(ntexts) || ntexts > kMaxTexts) return fail("bad text count");
  for (uint16_t i = 0; i < ntexts; ++i) {
    uint32_t n;
    const char *d;
    if (!r.u32(n) || n > kMaxText || !r.bytes(n, d)) return fail("bad text");
    m.texts.emplace_back(d, n);
  }
  uint16_t nnums;
  if (!r.u16(nnums) || nnums > kMaxNums) return fail("bad number count");
  for (uint16_t i = 0; i < nnums; ++i) {
    uint32_t v;
    if (!r.u32(v)) return fail("truncated number");
    m.nums.push_back(v);
  }
  uint32_t nparams;
  if (!r.u32(nparams) || nparams > kMaxParams) return fail("bad parameter count");
  // Every parameter takes at least 10 bytes: a count cannot promise more
  // entries than the body can hold.
  if (static_cast<uint64_t>(nparams) * 10 > r.left()) return fail("parameter count exceeds frame");
  m.params.reserve(nparams);
  for (uint32_t i = 0; i < nparams; ++i) {
    Param p;
    if (!r.str16(kMaxName, p.name) || p.name.empty() || !valid_name(p.name))
      return fail("bad parameter name");
    if (!r.u32(p.type) || !r.u32(p.len) || !r.bytes(p.len, p.data))
      return fail("bad parameter value");
    m.params.push_back(p);
  }
  uint32_t ntables;
  if (!r.u32(ntables) || ntables > kMaxTables) return fail("bad table count");
  if (static_cast<uint64_t>(ntables) * 15 > r.left()) return fail("table count exceeds frame");
  m.tables.reserve(ntables);
  for (uint32_t i = 0; i < ntables; ++i) {
    Table t;
    uint8_t flags;
    if (!r.str16(kMaxName, t.name) || t.name.empty() || !valid_name(t.name))
      return fail("bad table name");
    if (!r.u32(t.type) || !r.u32(t.leng) || !r.u32(t.rows) || !r.u8(flags))
      return fail("truncated table header");
    if (t.leng > kMaxRowWidth) return fail("row width exceeds the limit");
    if (flags > 1) return fail("unknown table flags");
    t.unchanged = flags == 1;
    if (t.unchanged) {
      if (t.rows != 0) return fail("unchanged table with rows");
    } else {
      const char *pad;
      if (!r.bytes((kRowAlign - r.offset() % kRowAlign) % kRowAlign, pad))
        return fail("table rows exceed frame");
      if (!r.bytes(static_cast<uint64_t>(t.rows) * t.leng, t.data)) return fail("table rows exceed frame");
    }
    if (t.leng == 0 && t.rows > 0) return fail("rows of width 0");
    m.tables.push_back(t);
  }
  if (r.left() != 0) return fail("trailing bytes");
  return true;
}

}  // namespace rfcw

#include "rfc_encoder.h"

#include <cstring>

namespace rfcw {

namespace {
// Values up to this size are copied into the frame buffer; a separate
// gather entry would cost more than the copy.
constexpr size_t kCopyLimit = 512;
}  // namespace

Encoder::Encoder(Kind kind, std::string_view name) : kind_(kind) {
  buf_.reserve(256);
  buf_.resize(kHeaderSize);
  segs_.push_back({nullptr, 0, kHeaderSize});
  put_u16(static_cast<uint16_t>(name.size()));
  put(name.data(), name.size());
  count_pos_ = buf_.size();
  put_u16(0);
}

void Encoder::put(const void *p, size_t n) {
  if (n == 0) return;
  size_t off = buf_.size();
  buf_.append(static_cast<const char *>(p), n);
  Seg &last = segs_.back();
  if (last.ext == nullptr && last.off + last.len == off)
    last.len += n;
  else
    segs_.push_back({nullptr, off, n});
}

void Encoder::put_u16(uint16_t v) {
  uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
  put(b, 2);
}

void Encoder::put_u32(uint32_t v) {
  uint8_t b[4];
  for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
  put(b, 4);
}

void Encoder::put_ref(const void *p, size_t n) {
  if (n == 0) return;
  if (n <= kCopyLimit) return put(p, n);
  segs_.push_back({static_cast<const char *>(p), 0, n});
}

void Encoder::patch_count() {
  char *p = &buf_[count_pos_];
  if (section_ == kTexts || section_ == kNums) {
    p[0] = static_cast<char>(count_);
    p[1] = static_cast<char>(count_ >> 8);
  } else {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<char>(count_ >> (8 * i));
  }
}

// Closes the sections before s and opens s with a zero count to patch.
void Encoder::enter(Section s) {
  while (section_ < s) {
    patch_count();
    section_ = static_cast<Section>(section_ + 1);
    count_ = 0;
    if (section_ == kDone) return;
    count_pos_ = buf_.size();
    if (section_ == kNums)
      put_u16(0);
    else
      put_u32(0);
  }
}

void Encoder::text(std::string_view s) {
  enter(kTexts);
  ++count_;
  put_u32(static_cast<uint32_t>(s.size()));
  put(s.data(), s.size());
}

void Encoder::num(uint32_t v) {
  enter(kNums);
  ++count_;
  put_u32(v);
}

void Encoder::param(std::string_view name, uint32_t type, const void *data, uint32_t len) {
  enter(kParams);
  ++count_;
  put_u16(static_cast<uint16_t>(name.size()));
  put(name.data(), name.size());
  put_u32(type);
  put_u32(len);
  put_ref(data, len);
}

void Encoder::table(std::string_view name, uint32_t type, uint32_t leng, uint32_t rows,
                    bool unchanged) {
  enter(kTables);
  ++count_;
  put_u16(static_cast<uint16_t>(name.size()));
  put(name.data(), name.size());
  put_u32(type);
  put_u32(leng);
  put_u32(rows);
  uint8_t flags = unchanged ? 1 : 0;
  put(&flags, 1);
  if (unchanged) return;
  // Rows start aligned in the receiver's buffer, where its table keeps them.
  static const char zeros[kRowAlign] = {};
  put(zeros, (kRowAlign - body_size() % kRowAlign) % kRowAlign);
}

size_t Encoder::body_size() const {
  size_t n = 0;
  for (const Seg &s : segs_) n += s.len;
  return n - kHeaderSize;
}

void Encoder::rows(const void *data, size_t len) { put_ref(data, len); }

bool Encoder::finish() {
  enter(kDone);
  total_ = 0;
  for (const Seg &s : segs_) total_ += s.len;
  if (total_ - kHeaderSize > kMaxBody) return false;
  write_header(reinterpret_cast<uint8_t *>(&buf_[0]), kind_,
               static_cast<uint32_t>(total_ - kHeaderSize));
  iov_.clear();
  iov_.reserve(segs_.size());
  for (const Seg &s : segs_) {
    const char *p = s.ext ? s.ext : buf_.data() + s.off;
    iov_.push_back({const_cast<char *>(p), s.len});
  }
  return true;
}

}  // namespace rfcw

#include "rfc_itab.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "sapitab.h"

namespace rfcl {

namespace {
constexpr size_t kMinBlockRows = 16;
constexpr size_t kMaxBlockBytes = 8u << 20;
std::atomic<uint64_t> stamps{0};
}  // namespace

uint64_t Itab::generation() const {
  if (dirty_) {
    generation_ = stamps.fetch_add(1, std::memory_order_relaxed) + 1;
    dirty_ = false;
  }
  return generation_;
}

Itab::Itab(std::string name, unsigned leng, unsigned occu)
    : name_(std::move(name)), leng_(leng), stride_(leng ? leng : 1), occu_(occu) {}

char *Itab::reserve(size_t count) {
  while (block_ < blocks_.size()) {
    Block &b = blocks_[block_];
    if (!b.shared && b.capacity - used_ >= count) return b.base + used_ * stride_;
    // A block too small for the run stays behind; rows are never split
    // across blocks within one run.
    ++block_;
    used_ = 0;
  }
  size_t total = 0;
  for (const Block &b : blocks_)
    if (!b.shared) total += b.capacity;
  size_t rows = std::max({count, static_cast<size_t>(occu_), kMinBlockRows, total});
  size_t cap = std::max<size_t>(count, kMaxBlockBytes / stride_);
  rows = std::min(rows, cap);
  char *mem = new (std::nothrow) char[rows * stride_];
  if (mem == nullptr) return nullptr;
  blocks_.push_back({std::unique_ptr<char[]>(mem), nullptr, mem, rows});
  block_ = blocks_.size() - 1;
  used_ = 0;
  return mem;
}

char *Itab::append() {
  char *p = reserve(1);
  if (p == nullptr) return nullptr;
  std::memset(p, 0, stride_);
  rows_.push_back(p);
  count_breaks(rows_.size() - 1, 1);
  ++used_;
  touch();
  return p;
}

bool Itab::append_rows(const char *src, uint32_t rows, uint32_t width) {
  if (rows == 0) return true;
  char *p = reserve(rows);
  if (p == nullptr) return false;
  if (width == leng_ && leng_ > 0) {
    std::memcpy(p, src, static_cast<size_t>(rows) * leng_);
  } else {
    size_t copy = std::min<size_t>(width, leng_);
    for (uint32_t r = 0; r < rows; ++r) {
      char *row = p + r * stride_;
      std::memcpy(row, src + static_cast<size_t>(r) * width, copy);
      std::memset(row + copy, 0, stride_ - copy);
    }
  }
  size_t first = rows_.size();
  rows_.reserve(first + rows);
  for (uint32_t r = 0; r < rows; ++r) rows_.push_back(p + r * stride_);
  count_breaks(first, rows);
  used_ += rows;
  touch();
  return true;
}

bool Itab::remove(unsigned i) {
  if (i == 0 || i > rows_.size()) return false;
  // Only the row's two neighbours change: the breaks on either side of it
  // go, one between them may come.
  size_t at = i - 1, n = rows_.size();
  if (at > 0 && !follows(at)) --breaks_;
  if (at + 1 < n && !follows(at + 1)) --breaks_;
  rows_.erase(rows_.begin() + at);
  if (at > 0 && at < rows_.size() && !follows(at)) ++breaks_;
  touch();
  return true;
}

void Itab::count_breaks(size_t first, size_t count) {
  if (count == 0) return;
  if (first > 0 && !follows(first)) ++breaks_;
  // Rows of no width are distinct addresses a byte apart: never a run.
  if (leng_ == 0) breaks_ += count - 1;
}

void Itab::adopt_rows(std::shared_ptr<char> owner, char *rows, uint32_t count) {
  if (count == 0) return;
  blocks_.push_back({nullptr, std::move(owner), rows, count});
  size_t first = rows_.size();
  rows_.resize(first + count);
  char **slot = rows_.data() + first;
  for (uint32_t r = 0; r < count; ++r) slot[r] = rows + static_cast<size_t>(r) * stride_;
  count_breaks(first, count);
  // Appending goes on in a block of the table's own, never in the frame.
  block_ = blocks_.size();
  used_ = 0;
  touch();
}

void Itab::clear() {
  rows_.clear();
  breaks_ = 0;
  // Adopted frames are let go; of the own blocks only the largest stays, so
  // refilling a table of the same size allocates nothing.
  Block keep{nullptr, nullptr, nullptr, 0};
  for (Block &b : blocks_)
    if (!b.shared && b.capacity > keep.capacity) keep = std::move(b);
  blocks_.clear();
  if (keep.own) blocks_.push_back(std::move(keep));
  block_ = 0;
  used_ = 0;
  touch();
}

}  // namespace rfcl

using rfcl::Itab;

namespace {
Itab *tab(ITAB_H h) { return static_cast<Itab *>(h); }
}  // namespace

extern "C" {

ITAB_H SAP_API ItCreate(char *name, unsigned leng, unsigned occu, unsigned /*memo*/) {
  return new (std::nothrow) Itab(name ? name : "", leng, occu);
}

unsigned SAP_API ItFill(ITAB_H h) { return h ? tab(h)->fill() : 0; }

unsigned SAP_API ItLeng(ITAB_H h) { return h ? tab(h)->leng() : 0; }

void *SAP_API ItGetLine(ITAB_H h, unsigned line) { return h ? tab(h)->line(line) : nullptr; }

void *SAP_API ItGupLine(ITAB_H h, unsigned line) {
  if (!h) return nullptr;
  char *p = tab(h)->line(line);
  if (p) tab(h)->touch();
  return p;
}

void *SAP_API ItAppLine(ITAB_H h) { return h ? tab(h)->append() : nullptr; }

int SAP_API ItCpyLine(ITAB_H h, unsigned line, void *dest) {
  const char *p = h ? tab(h)->line(line) : nullptr;
  if (p == nullptr || dest == nullptr) return -1;
  std::memcpy(dest, p, tab(h)->leng());
  return 0;
}

int SAP_API ItPutLine(ITAB_H h, unsigned line, void *src) {
  char *p = h ? tab(h)->line(line) : nullptr;
  if (p == nullptr || src == nullptr) return -1;
  std::memcpy(p, src, tab(h)->leng());
  tab(h)->touch();
  return 0;
}

int SAP_API ItFree(ITAB_H h) {
  if (h) tab(h)->clear();
  return 0;
}

int SAP_API ItDelete(ITAB_H h) {
  delete tab(h);
  return 0;
}

int SAP_API ItDelLine(ITAB_H h, unsigned line) { return (h && tab(h)->remove(line)) ? 0 : 1; }

}  // extern "C"

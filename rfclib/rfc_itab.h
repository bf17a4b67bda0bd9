// An internal table: fixed-width rows kept in blocks that never move, so a
// row's address stays valid until that row is deleted or the table is
// emptied. Rows are indexed through a pointer list; runs of rows that lie
// back to back in a block can be written out in one piece.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rfcl {

class Itab {
 public:
  Itab(std::string name, unsigned leng, unsigned occu);

  unsigned fill() const { return static_cast<unsigned>(rows_.size()); }
  unsigned leng() const { return leng_; }
  const std::string &name() const { return name_; }
  // A stamp, unique across all tables, renewed by every call that may alter
  // the rows; lets a reply leave out a table that its receiver did not touch
  // (a new table at a freed table's address never matches the old stamp).
  uint64_t generation() const;
  void touch() { dirty_ = true; }

  // Row i counted from 1; nullptr when there is no such row.
  char *line(unsigned i) const { return (i == 0 || i > rows_.size()) ? nullptr : rows_[i - 1]; }
  char *append();  // a new zero-filled row, nullptr when out of memory
  bool remove(unsigned i);
  void clear();
  // Appends rows of another width: each cut or zero-padded to this width.
  bool append_rows(const char *src, uint32_t rows, uint32_t width);
  // Appends rows of this table's width that lie in memory kept alive by
  // owner (a received frame), without copying them.
  void adopt_rows(std::shared_ptr<char> owner, char *rows, uint32_t count);

  // Calls f(pointer, bytes) for each run of consecutive rows in storage.
  template <class F>
  void for_each_run(F f) const {
    size_t width = leng_;
    size_t i = 0, n = rows_.size();
    // A table whose rows all lie back to back (a chunk built by appending,
    // or one received) is one run, found without a look at every row.
    if (breaks_ == 0) {
      if (n > 0) f(rows_[0], n * width);
      return;
    }
    while (i < n) {
      const char *start = rows_[i];
      size_t j = i + 1;
      while (j < n && follows(j)) ++j;
      f(start, (j - i) * width);
      i = j;
    }
  }

 private:
  // Room for count more rows, contiguous; nullptr when out of memory.
  char *reserve(size_t count);
  // Whether row index r (from 0, r > 0) lies right after row r - 1.
  bool follows(size_t r) const { return rows_[r] == rows_[r - 1] + leng_; }
  // Counts the breaks that count rows, just added from index first on at
  // the stride, bring to the row list.
  void count_breaks(size_t first, size_t count);

  struct Block {
    std::unique_ptr<char[]> own;   // storage of this table
    std::shared_ptr<char> shared;  // or a received frame holding adopted rows
    char *base;
    size_t capacity;  // rows
  };
  std::string name_;
  unsigned leng_;
  size_t stride_;  // leng_, at least 1 so every row has its own address
  unsigned occu_;
  std::vector<char *> rows_;
  // Places where a row does not follow its predecessor in storage.
  size_t breaks_ = 0;
  std::vector<Block> blocks_;
  size_t block_ = 0;  // block being filled
  size_t used_ = 0;   // rows used in it
  mutable uint64_t generation_ = 0;
  mutable bool dirty_ = true;
};

}  // namespace rfcl

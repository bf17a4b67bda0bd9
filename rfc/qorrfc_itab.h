// An internal table as the handlers use it: rows by index, formatted
// appends, all rows packed into records, and a read cursor that hands the
// rows out piece by piece. Whether the table is destroyed, emptied or left
// alone when the wrapper goes is fixed at construction.
#pragma once

#include <cstddef>
#include <vector>

#include "sapitab.h"
#include "saprfc.h"

class Qorrfc_Itab {
 public:
  enum Ownership { NOT_OWNED = 0, DELETE_TABLE = 1, FREE_ROWS = 2 };

  explicit Qorrfc_Itab(ITAB_H handle = ITAB_NULL, Ownership ownership = NOT_OWNED);
  ~Qorrfc_Itab();
  Qorrfc_Itab(const Qorrfc_Itab &) = delete;
  Qorrfc_Itab &operator=(const Qorrfc_Itab &) = delete;

  // Creates the table when none is held yet; 0 or -1.
  int create(const char *name, unsigned row_length, unsigned initial_rows);
  ITAB_H handle() const { return handle_; }
  void handle(ITAB_H handle);
  unsigned row_length() const { return row_length_; }

  unsigned rows() const;
  // Row i, counted from 1; null when there is no such row.
  const char *row(unsigned i) const;
  // Appends a row filled with blanks and formats the text into it; a text
  // shorter than the row ends in a blank, not in a terminating zero.
  // Returns 0 or -1.
  int append_line(const char *format, ...) __attribute__((format(printf, 2, 3)));
  // Every row followed by one marker byte (1 with marker, else 0); empty
  // when the table is.
  std::vector<char> packed_rows(bool marker) const;
  // Up to n bytes from the cursor, never past the end of the cursor's row;
  // the cursor moves on (to the next row at a row's end). 0 when no rows
  // are left.
  size_t read(char *out, size_t n);
  // Empties the table.
  void clear();

 private:
  ITAB_H handle_;
  Ownership ownership_;
  unsigned row_length_ = 0;
  unsigned cursor_row_ = 1;
  unsigned cursor_offset_ = 0;
};

#include "qorrfc_itab.h"

#include <ace/OS_NS_stdio.h>
#include <ace/OS_Memory.h>
#include <ace/OS_NS_stdlib.h>
#include <ace/OS_NS_string.h>

#include <cstdarg>
#include "sapitab.h"

Qorrfc_Itab::Qorrfc_Itab(ITAB_H handle, Ownership ownership) : handle_(ITAB_NULL), ownership_(ownership) {
  this->handle(handle);
}

Qorrfc_Itab::~Qorrfc_Itab() {
  if (handle_ == ITAB_NULL) return;
  if (ownership_ == DELETE_TABLE)
    ItDelete(handle_);
  else if (ownership_ == FREE_ROWS)
    ItFree(handle_);
}

void Qorrfc_Itab::handle(ITAB_H handle) {
  handle_ = handle;
  row_length_ = handle ? ItLeng(handle) : 0;
  cursor_row_ = 1;
  cursor_offset_ = 0;
}

int Qorrfc_Itab::create(const char *name, unsigned row_length, unsigned initial_rows) {
  if (handle_ != ITAB_NULL) return 0;
  char *table_name = ACE_OS::strdup(name);
  ITAB_H created = ItCreate(table_name, row_length, initial_rows, 0);
  ACE_OS::free(table_name);
  if (created == ITAB_NULL) return -1;
  handle(created);
  return 0;
}

unsigned Qorrfc_Itab::rows() const { return handle_ ? ItFill(handle_) : 0; }

const char *Qorrfc_Itab::row(unsigned i) const {
  return handle_ ? static_cast<const char *>(ItGetLine(handle_, i)) : nullptr;
}

int Qorrfc_Itab::append_line(const char *format, ...) {
  if (handle_ == ITAB_NULL) return -1;
  char *line = static_cast<char *>(ItAppLine(handle_));
  if (line == nullptr) return -1;
  if (row_length_ == 0) return 0;
  ACE_OS::memset(line, ' ', row_length_);
  // Formatted straight into the row: a text of the full width keeps its
  // terminating zero in the last byte and so loses its last character.
  va_list args;
  va_start(args, format);
  int n = ACE_OS::vsnprintf(line, row_length_, format, args);
  va_end(args);
  if (n >= 0 && static_cast<unsigned>(n) < row_length_) line[n] = ' ';
  return 0;
}

std::vector<char> Qorrfc_Itab::packed_rows(bool marker) const {
  std::vector<char> out;
  unsigned n = rows();
  if (n == 0) return out;
  out.resize(static_cast<size_t>(row_length_ + 1) * n);
  char *p = out.data();
  for (unsigned i = 1; i <= n; ++i) {
    const char *r = row(i);
    if (r) ACE_OS::memcpy(p, r, row_length_);
    p[row_length_] = marker ? 1 : 0;
    p += row_length_ + 1;
  }
  return out;
}

size_t Qorrfc_Itab::read(char *out, size_t n) {
  const char *r = row(cursor_row_);
  if (r == nullptr) return 0;
  size_t left = row_length_ - cursor_offset_;
  size_t count = n < left ? n : left;
  ACE_OS::memcpy(out, r + cursor_offset_, count);
  cursor_offset_ += static_cast<unsigned>(count);
  if (cursor_offset_ >= row_length_) {
    ++cursor_row_;
    cursor_offset_ = 0;
  }
  return count;
}

void Qorrfc_Itab::clear() {
  if (handle_) ItFree(handle_);
  cursor_row_ = 1;
  cursor_offset_ = 0;
}

// Parameter and table lists for the classic RFC calls, built one entry at
// a time. The lists own the internal tables they create.
#pragma once

#include <string>
#include <vector>

#include "saprfc.h"

namespace r3sim {

class ParamList {
 public:
  ParamList() = default;
  ParamList(ParamList &&) = default;
  ParamList(const ParamList &) = delete;
  ParamList &operator=(const ParamList &) = delete;

  // addr must stay valid while the list is used.
  ParamList &add(const char *name, void *addr, unsigned length, unsigned type = RFCTYPE_CHAR);
  // The terminated array the RFC calls take.
  RFC_PARAMETER *get();

 private:
  // Always ends with the all-zero entry that terminates a list.
  std::vector<RFC_PARAMETER> entries_{RFC_PARAMETER{nullptr, 0, 0, 0, nullptr}};
};

class TableList {
 public:
  TableList() = default;
  ~TableList();
  TableList(const TableList &) = delete;
  TableList &operator=(const TableList &) = delete;

  // Adds a table with a new, empty internal table owned by the list.
  ITAB_H add(const char *name, unsigned row_width, unsigned type = RFCTYPE_CHAR);
  RFC_TABLE *get();
  ITAB_H at(size_t i) const { return entries_[i].ithandle; }

 private:
  std::vector<RFC_TABLE> entries_{
      RFC_TABLE{nullptr, 0, 0, 0, nullptr, RFC_ITMODE_BYREFERENCE, 0}};
};

// The text of a fixed-width character buffer without trailing blanks.
std::string trimmed(const char *buf, size_t n);
// Copies text into a fixed-width buffer, blank-padded, cut when longer.
void put_text(char *dst, size_t n, const std::string &text);

}  // namespace r3sim

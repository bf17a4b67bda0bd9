#include "call_lists.h"

#include <cstring>
#include "sapitab.h"

namespace r3sim {

ParamList &ParamList::add(const char *name, void *addr, unsigned length, unsigned type) {
  entries_.insert(entries_.end() - 1,
                  RFC_PARAMETER{const_cast<char *>(name),
                                static_cast<unsigned>(std::strlen(name)), type, length, addr});
  return *this;
}

RFC_PARAMETER *ParamList::get() { return entries_.data(); }

TableList::~TableList() {
  for (auto &t : entries_)
    if (t.ithandle) ItDelete(t.ithandle);
}

ITAB_H TableList::add(const char *name, unsigned row_width, unsigned type) {
  ITAB_H t = ItCreate(const_cast<char *>(name), row_width, 0, 0);
  entries_.insert(entries_.end() - 1,
                  RFC_TABLE{const_cast<char *>(name), static_cast<unsigned>(std::strlen(name)),
                            type, row_width, t, RFC_ITMODE_BYREFERENCE, 0});
  return t;
}

RFC_TABLE *TableList::get() { return entries_.data(); }

std::string trimmed(const char *buf, size_t n) {
  size_t len = 0;
  while (len < n && buf[len] != '\0') ++len;
  while (len > 0 && buf[len - 1] == ' ') --len;
  return std::string(buf, len);
}

void put_text(char *dst, size_t n, const std::string &text) {
  size_t k = text.size() < n ? text.size() : n;
  std::memcpy(dst, text.data(), k);
  std::memset(dst + k, ' ', n - k);
}

}  // namespace r3sim

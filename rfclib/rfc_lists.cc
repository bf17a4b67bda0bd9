#include "rfc_lists.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "rfc_itab.h"

namespace rfcl {

namespace {

std::string_view entry_name(const char *name, unsigned nlen) {
  return nlen ? std::string_view(name, strnlen(name, nlen)) : std::string_view(name);
}

bool valid_name(std::string_view n, const char *what, Error &err) {
  bool ok = !n.empty() && n.size() <= rfcw::kMaxName && rfcw::valid_name(n);
  if (!ok) err = program(std::string("invalid ") + what + " name '" + std::string(n) + "'");
  return ok;
}

bool char_like(RFC_TYPEHANDLE t) {
  return t == RFCTYPE_CHAR || t == RFCTYPE_DATE || t == RFCTYPE_TIME || t == RFCTYPE_NUM;
}

}  // namespace

bool encode_params(rfcw::Encoder &e, const RFC_PARAMETER *list, Error &err) {
  for (const RFC_PARAMETER *p = list; p && p->name; ++p) {
    std::string_view name = entry_name(p->name, p->nlen);
    if (!valid_name(name, "parameter", err)) return false;
    if (p->leng && !p->addr) {
      err = program("parameter " + std::string(name) + " has a length but no value");
      return false;
    }
    e.param(name, p->type, p->addr, p->leng);
  }
  return true;
}

bool encode_tables(rfcw::Encoder &e, const RFC_TABLE *list, const Received *received, Error &err) {
  for (const RFC_TABLE *t = list; t && t->name; ++t) {
    std::string_view name = entry_name(t->name, t->nlen);
    if (!valid_name(name, "table", err)) return false;
    const Itab *tab = static_cast<const Itab *>(t->ithandle);
    unsigned width = tab ? tab->leng() : t->leng;
    if (width > rfcw::kMaxRowWidth) {
      err = program("rows of table " + std::string(name) + " are too wide");
      return false;
    }
    unsigned long long ssize = structure_size(t->type);
    if (ssize > width) {
      err = program("structure of table " + std::string(name) + " (" + std::to_string(ssize) +
                    " bytes) does not fit its rows of " + std::to_string(width) + " bytes");
      return false;
    }
    bool unchanged = false;
    if (tab && received) {
      for (const auto &r : *received)
        if (r.first == tab && r.second == tab->generation()) unchanged = true;
    }
    unsigned rows = (tab && !unchanged) ? tab->fill() : 0;
    e.table(name, t->type, width, rows, unchanged);
    if (rows) tab->for_each_run([&](const char *p, size_t n) { e.rows(p, n); });
  }
  return true;
}

void apply_params(const rfcw::Message &m, RFC_PARAMETER *list) {
  for (RFC_PARAMETER *p = list; p && p->name; ++p) {
    if (!p->addr || !p->leng) continue;
    std::string_view name = entry_name(p->name, p->nlen);
    for (const rfcw::Param &w : m.params) {
      if (w.name != name) continue;
      size_t n = std::min<size_t>(w.len, p->leng);
      std::memcpy(p->addr, w.data, n);
      std::memset(static_cast<char *>(p->addr) + n, char_like(p->type) ? ' ' : 0, p->leng - n);
      break;
    }
  }
}

bool apply_tables(const rfcw::Message &m, RFC_TABLE *list, Received *received,
                  const std::shared_ptr<char> &body) {
  for (RFC_TABLE *t = list; t && t->name; ++t) {
    std::string_view name = entry_name(t->name, t->nlen);
    for (const rfcw::Table &w : m.tables) {
      if (w.name != name) continue;
      Itab *tab = static_cast<Itab *>(t->ithandle);
      if (w.unchanged && tab) break;
      if (!tab) {
        tab = new (std::nothrow) Itab(std::string(name), w.leng, w.rows);
        if (!tab) return false;
        t->ithandle = tab;
        t->newitab = 1;
        if (t->leng == 0) t->leng = w.leng;
      } else {
        tab->clear();
      }
      if (body && w.leng == tab->leng() && w.leng > 0)
        tab->adopt_rows(body, const_cast<char *>(w.data), w.rows);
      else if (!tab->append_rows(w.data, w.rows, w.leng))
        return false;
      if (received) received->emplace_back(tab, tab->generation());
      break;
    }
  }
  return true;
}

}  // namespace rfcl

// One named scalar of an RFC exchange: where its value lives, how long it
// is and how the library is to treat it. The value's storage belongs to
// whoever created the entry; the entry only points at it.
#pragma once

#include "saprfc.h"

class Qorrfc_Parameter {
 public:
  Qorrfc_Parameter(const char *name, void *address, unsigned length,
                   RFC_TYPEHANDLE type = RFCTYPE_CHAR);
  ~Qorrfc_Parameter();
  Qorrfc_Parameter(const Qorrfc_Parameter &) = delete;
  Qorrfc_Parameter &operator=(const Qorrfc_Parameter &) = delete;

  // Fills the library's record for this entry.
  void fill(RFC_PARAMETER &record) const;

  const char *name() const { return name_; }
  void *address() const { return address_; }
  unsigned length() const { return length_; }
  void value(void *address, unsigned length) {
    address_ = address;
    length_ = length;
  }

 private:
  char *name_;
  void *address_;
  unsigned length_;
  RFC_TYPEHANDLE type_;
};

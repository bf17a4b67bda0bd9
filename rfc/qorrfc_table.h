// One named internal table of an RFC exchange. Without a table handle the
// library creates the table when data arrives; such a table belongs to
// this entry from then on and goes with it.
#pragma once

#include "sapitab.h"
#include "saprfc.h"

class Qorrfc_Table {
 public:
  // With install_row_type, the row type becomes a one-field structure of
  // the given type and length, so the library can check and convert rows.
  Qorrfc_Table(const char *name, RFC_TYPEHANDLE type, unsigned length, ITAB_H handle = ITAB_NULL,
               RFC_ITMODE mode = RFC_ITMODE_BYREFERENCE, bool install_row_type = false);
  ~Qorrfc_Table();
  Qorrfc_Table(const Qorrfc_Table &) = delete;
  Qorrfc_Table &operator=(const Qorrfc_Table &) = delete;

  // Fills the library's record for this entry.
  void fill(RFC_TABLE &record) const;
  // Called after the library filled record: keeps a table it created.
  void take_back(const RFC_TABLE &record);

  const char *name() const { return name_; }
  ITAB_H handle() const { return handle_; }
  unsigned length() const { return length_; }
  RFC_TYPEHANDLE type() const { return type_; }

 private:
  char *name_;
  RFC_TYPEHANDLE type_;
  unsigned length_;
  ITAB_H handle_;
  RFC_ITMODE mode_;
  bool library_table_ = false;
};

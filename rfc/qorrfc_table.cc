#include "qorrfc_table.h"

#include <ace/OS_Memory.h>
#include <ace/OS_NS_stdlib.h>
#include <ace/OS_NS_string.h>
#include "sapitab.h"

Qorrfc_Table::Qorrfc_Table(const char *name, RFC_TYPEHANDLE type, unsigned length, ITAB_H handle,
                           RFC_ITMODE mode, bool install_row_type)
    : name_(ACE_OS::strdup(name ? name : "")),
      type_(type),
      length_(length),
      handle_(handle),
      mode_(mode) {
  if (!install_row_type) return;
  char structure[] = "DUMMYS";
  char field[] = "DUMMYF";
  RFC_TYPE_ELEMENT2 element = {field, type, length, 0, 0};
  RFC_TYPEHANDLE installed = 0;
  if (RfcInstallStructure2(structure, &element, 1, &installed) == RFC_OK) type_ = installed;
}

Qorrfc_Table::~Qorrfc_Table() {
  if (library_table_ && handle_ != ITAB_NULL) ItDelete(handle_);
  ACE_OS::free(name_);
}

void Qorrfc_Table::fill(RFC_TABLE &record) const {
  record.name = name_;
  record.nlen = static_cast<unsigned>(ACE_OS::strlen(name_));
  record.type = type_;
  record.leng = length_;
  record.ithandle = handle_;
  record.itmode = mode_;
  record.newitab = 0;
}

void Qorrfc_Table::take_back(const RFC_TABLE &record) {
  if (handle_ == ITAB_NULL && record.ithandle != ITAB_NULL) {
    handle_ = record.ithandle;
    library_table_ = true;
  }
  if (length_ == 0) length_ = record.leng;
}

#include "qorrfc_parameter.h"

#include <ace/OS_Memory.h>
#include <ace/OS_NS_stdlib.h>
#include <ace/OS_NS_string.h>

Qorrfc_Parameter::Qorrfc_Parameter(const char *name, void *address, unsigned length,
                                   RFC_TYPEHANDLE type)
    : name_(ACE_OS::strdup(name ? name : "")), address_(address), length_(length), type_(type) {}

Qorrfc_Parameter::~Qorrfc_Parameter() { ACE_OS::free(name_); }

void Qorrfc_Parameter::fill(RFC_PARAMETER &record) const {
  record.name = name_;
  record.nlen = static_cast<unsigned>(ACE_OS::strlen(name_));
  record.type = type_;
  record.leng = length_;
  record.addr = address_;
}

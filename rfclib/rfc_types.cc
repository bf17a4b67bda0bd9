// Structure types installed by programs. A structure is carried on the
// wire as its row bytes, so the registry only hands out stable handles
// (one per name) and checks that the elements fit the row they describe.
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "rfc_error.h"
#include "saprfc.h"

namespace {

// Handles start above every elementary type code.
constexpr RFC_TYPEHANDLE kFirstHandle = 0x100;

struct Registry {
  std::mutex mutex;
  std::map<std::string, RFC_TYPEHANDLE> by_name;
  std::map<RFC_TYPEHANDLE, unsigned long long> size;  // bytes the elements span
  RFC_TYPEHANDLE next = kFirstHandle;
};

Registry &registry() {
  static Registry r;
  return r;
}

bool elementary(RFC_TYPEHANDLE t) { return t <= RFCTYPE_DATE_2 && t != 11; }

RFC_RC refuse(const std::string &why) {
  rfcl::set_last(rfcl::program(why));
  return RFC_INVALID_PARAMETER;
}

// The same name keeps its handle; a later description replaces the size.
RFC_RC install(const char *name, unsigned long long size, RFC_TYPEHANDLE *out) {
  Registry &r = registry();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.by_name.find(name);
  if (it == r.by_name.end()) it = r.by_name.emplace(name, r.next++).first;
  r.size[it->second] = size;
  *out = it->second;
  return RFC_OK;
}

bool valid_element_type(RFC_TYPEHANDLE t) {
  if (elementary(t)) return t != RFCTYPE_ITAB;
  std::lock_guard<std::mutex> lock(registry().mutex);
  return t >= kFirstHandle && t < registry().next;
}

// Checks one element; end is the byte after the element.
bool check_element(const char *structure, unsigned index, const char *name, RFC_TYPEHANDLE type,
                   unsigned length, unsigned long long end, std::string &why) {
  std::string where = std::string("element ") + std::to_string(index + 1) + " of structure " + structure;
  if (name == nullptr || *name == '\0') {
    why = where + " has no name";
    return false;
  }
  if (!valid_element_type(type)) {
    why = where + " (" + name + ") has an unknown type " + std::to_string(type);
    return false;
  }
  if (length == 0 || end > 0xFFFFFFFFull) {
    why = where + " (" + name + ") has an invalid length";
    return false;
  }
  return true;
}

// Places one element at offset: checks it, refuses an overlap with the
// element before it, and advances end (the byte after the last element).
bool place_element(const char *structure, unsigned index, const char *name, RFC_TYPEHANDLE type,
                   unsigned offset, unsigned length, unsigned long long &end, std::string &why) {
  unsigned long long this_end = static_cast<unsigned long long>(offset) + length;
  if (!check_element(structure, index, name, type, length, this_end, why)) return false;
  if (offset < end) {
    why = std::string("element ") + name + " of structure " + structure +
          " overlaps the element before it";
    return false;
  }
  end = this_end;
  return true;
}

}  // namespace

namespace rfcl {
unsigned long long structure_size(RFC_TYPEHANDLE type) {
  std::lock_guard<std::mutex> lock(registry().mutex);
  auto it = registry().size.find(type);
  return it == registry().size.end() ? 0 : it->second;
}
}  // namespace rfcl

extern "C" {

RFC_RC SAP_API RfcInstallStructure(char *name, RFC_TYPE_ELEMENT *elements, unsigned entries,
                           RFC_TYPEHANDLE *out) {
  if (name == nullptr || *name == '\0' || out == nullptr || (entries && elements == nullptr))
    return refuse("RfcInstallStructure: missing name, elements or handle");
  std::string why;
  unsigned long long end = 0;
  for (unsigned i = 0; i < entries; ++i) {
    const RFC_TYPE_ELEMENT &e = elements[i];
    // Elements follow one another; a successful placement keeps end within
    // 32 bits, so it is a valid offset for the next one.
    if (!place_element(name, i, e.name, e.type, static_cast<unsigned>(end), e.length, end, why))
      return refuse(why);
  }
  return install(name, end, out);
}

RFC_RC SAP_API RfcInstallStructure2(char *name, RFC_TYPE_ELEMENT2 *elements, unsigned entries,
                            RFC_TYPEHANDLE *out) {
  if (name == nullptr || *name == '\0' || out == nullptr || (entries && elements == nullptr))
    return refuse("RfcInstallStructure2: missing name, elements or handle");
  std::string why;
  unsigned long long end = 0;
  for (unsigned i = 0; i < entries; ++i) {
    const RFC_TYPE_ELEMENT2 &e = elements[i];
    if (!place_element(name, i, e.name, e.type, e.offset, e.length, end, why)) return refuse(why);
  }
  return install(name, end, out);
}

RFC_RC SAP_API RfcInstallUnicodeStructure(char *name, RFC_UNICODE_TYPE_ELEMENT *elements, unsigned entries,
                                  unsigned /*flag*/, RFC_STRUCT_TYPE_ID /*id*/,
                                          RFC_TYPEHANDLE *out) {
  if (name == nullptr || *name == '\0' || out == nullptr || (entries && elements == nullptr))
    return refuse("RfcInstallUnicodeStructure: missing name, elements or handle");
  std::string why;
  unsigned long long end = 0;
  for (unsigned i = 0; i < entries; ++i) {
    const RFC_UNICODE_TYPE_ELEMENT &e = elements[i];
    // This library is non-Unicode: the one-byte layout is the one carried.
    if (!place_element(name, i, e.name, e.type, e.c1_offset, e.c1_length, end, why))
      return refuse(why);
  }
  return install(name, end, out);
}

}  // extern "C"

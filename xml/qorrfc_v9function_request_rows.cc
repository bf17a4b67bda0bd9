// Row data and row types of a function element: base64 rows decoded into
// fixed-length rows, and field elements turned into an installed
// structure (the plain form expresses offsets as PAD fillers).
#include <ace/OS_NS_stdlib.h>
#include <ace/OS_NS_string.h>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNodeList.hpp>
#include <xercesc/util/Base64.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include <string>
#include <vector>

#include "qorrfc_v9function_request.h"
#include "qorrfc_xml_text.h"

XERCES_CPP_NAMESPACE_USE

namespace {
struct Type_Letter {
  char letter;
  RFC_TYPEHANDLE type;
};

const Type_Letter TYPE_LETTERS[] = {
    {'C', RFCTYPE_CHAR}, {'D', RFCTYPE_DATE},  {'P', RFCTYPE_BCD},   {'T', RFCTYPE_TIME},
    {'X', RFCTYPE_BYTE}, {'N', RFCTYPE_NUM},   {'F', RFCTYPE_FLOAT}, {'I', RFCTYPE_INT},
    {'s', RFCTYPE_INT2}, {'b', RFCTYPE_INT1},
};

bool rfc_type_of(const std::string &letter, RFC_TYPEHANDLE *type) {
  if (letter.size() != 1) return false;
  for (const Type_Letter &t : TYPE_LETTERS)
    if (t.letter == letter[0]) {
      *type = t.type;
      return true;
    }
  return false;
}

unsigned number(const DOMElement *field, const char *name) {
  return static_cast<unsigned>(ACE_OS::strtoul(qorrfc_attribute(field, name).c_str(), nullptr, 10));
}

// Names live here until the description has been installed.
struct Description {
  std::vector<std::string> names;
  std::vector<RFC_TYPE_ELEMENT> plain;
  std::vector<RFC_UNICODE_TYPE_ELEMENT> unicode;

  void add_plain(const std::string &name, RFC_TYPEHANDLE type, unsigned length, unsigned dec) {
    names.push_back(name);
    plain.push_back(RFC_TYPE_ELEMENT{nullptr, type, length, dec, 0});
  }
  // The element names, once no more names are added.
  template <class Element>
  void name_elements(std::vector<Element> &elements) {
    for (size_t i = 0; i < elements.size(); ++i) elements[i].name = &names[i][0];
  }
};
}  // namespace

unsigned Qorrfc_V9function_Request::decode_row(const DOMElement *i, char *row, unsigned length) {
  unsigned filled = 0;
  for (DOMNode *d = i ? i->getFirstChild() : nullptr; d; d = d->getNextSibling()) {
    if (d->getNodeType() != DOMNode::ELEMENT_NODE) continue;
    for (DOMNode *text = d->getFirstChild(); text; text = text->getNextSibling()) {
      if (text->getNodeType() != DOMNode::TEXT_NODE) continue;
      XMLSize_t size = 0;
      XMLByte *bytes = Base64::decodeToXMLByte(text->getNodeValue(), &size,
                                               XMLPlatformUtils::fgMemoryManager);
      if (bytes == nullptr) continue;
      XMLSize_t room = length - filled;
      XMLSize_t n = size < room ? size : room;
      ACE_OS::memcpy(row + filled, bytes, n);
      filled += static_cast<unsigned>(n);
      XMLPlatformUtils::fgMemoryManager->deallocate(bytes);
    }
  }
  return filled;
}

int Qorrfc_V9function_Request::build_structure(const DOMElement *table, const char *structure,
                                               unsigned row_length, RFC_TYPEHANDLE *type) {
  std::vector<const DOMElement *> fields;
  for (DOMNode *n = table->getFirstChild(); n; n = n->getNextSibling())
    if (n->getNodeType() == DOMNode::ELEMENT_NODE && qorrfc_local_text(n->getNodeName()) == "field")
      fields.push_back(static_cast<const DOMElement *>(n));
  if (fields.empty()) return -1;
  Description description;
  bool unicode = !qorrfc_attribute(fields[0], "len2").empty();
  unsigned end = 0;
  for (const DOMElement *field : fields) {
    RFC_TYPEHANDLE field_type;
    if (!rfc_type_of(qorrfc_attribute(field, "type"), &field_type)) return -1;
    std::string name = qorrfc_attribute(field, "name");
    unsigned len = number(field, "len"), dec = number(field, "dec"), offset = number(field, "offset");
    if (unicode) {
      description.names.push_back(name);
      description.unicode.push_back(RFC_UNICODE_TYPE_ELEMENT{
          nullptr, field_type, dec, len, offset, number(field, "len2"), number(field, "offset2"),
          number(field, "len4"), number(field, "offset4")});
      continue;
    }
    if (offset > end) description.add_plain("PAD", RFCTYPE_BYTE, offset - end, 0);
    description.add_plain(name, field_type, len, dec);
    end = offset + len;
  }
  std::string name(structure);
  if (unicode) {
    description.name_elements(description.unicode);
    return RfcInstallUnicodeStructure(&name[0], description.unicode.data(),
                                      static_cast<unsigned>(description.unicode.size()), 0,
                                      nullptr, type) == RFC_OK ? 0 : -1;
  }
  if (row_length > end) description.add_plain("PAD", RFCTYPE_BYTE, row_length - end, 0);
  description.name_elements(description.plain);
  return RfcInstallStructure(&name[0], description.plain.data(),
                             static_cast<unsigned>(description.plain.size()), type) == RFC_OK ? 0 : -1;
}

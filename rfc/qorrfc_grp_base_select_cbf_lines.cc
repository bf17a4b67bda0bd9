// The JDATA and MDATA lines of a select reply, written from the elements
// of the client's request.
#include <ace/OS_NS_stdio.h>
#include <ace/OS_NS_string.h>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>
#include <xercesc/dom/DOMNodeList.hpp>
#include <xercesc/util/XMLString.hpp>

#include <cctype>

#include "qorrfc_base_request.h"
#include "qorrfc_grp_base_select_cbf.h"
#include "qorrfc_xml_text.h"
#include "sapitab.h"

XERCES_CPP_NAMESPACE_USE

namespace {
const char *const CLAUSE_TAGS[] = {"where", "groupby", "having", "orderby", "on"};
const char *const CLAUSE_HEADERS[] = {"W,%u", "GB,%u", "H,%u", "OB,%u", "O,%u"};

bool starts_with_y(const std::string &value) {
  return !value.empty() && std::toupper(static_cast<unsigned char>(value[0])) == 'Y';
}
}  // namespace

std::vector<const DOMElement *> Qorrfc_Grp_Base_Select_Cbf::elements(const DOMElement *parent,
                                                                      const char *tag) {
  std::vector<const DOMElement *> found;
  if (parent == nullptr) return found;
  XMLCh *name = XMLString::transcode(tag);
  DOMNodeList *list = parent->getElementsByTagName(name);
  XMLString::release(&name);
  for (XMLSize_t i = 0, n = list ? list->getLength() : 0; i < n; ++i)
    found.push_back(static_cast<const DOMElement *>(list->item(i)));
  return found;
}

std::string Qorrfc_Grp_Base_Select_Cbf::element_text(const DOMElement *element) {
  std::basic_string<XMLCh> text;
  for (const DOMNode *child = element->getFirstChild(); child; child = child->getNextSibling()) {
    DOMNode::NodeType type = child->getNodeType();
    if (type == DOMNode::TEXT_NODE || type == DOMNode::CDATA_SECTION_NODE) text += child->getNodeValue();
  }
  return qorrfc_local_text(text.c_str());
}

void Qorrfc_Grp_Base_Select_Cbf::add_kind_line(const char *kind) {
  std::string distinct = qorrfc_attribute(root(), "distinct");
  jdata_.append_line(starts_with_y(distinct) ? "%s,Y" : "%s", kind);
}

std::string Qorrfc_Grp_Base_Select_Cbf::add_table_line(const DOMElement *table) {
  std::string name = qorrfc_attribute(table, "name");
  jdata_.append_line("T,%s,%s,%s", name.c_str(), qorrfc_attribute(table, "alias").c_str(),
                     qorrfc_attribute(table, "join").c_str());
  return name;
}

void Qorrfc_Grp_Base_Select_Cbf::reset_clauses() {
  for (Clause_State &state : clauses_) state = Clause_State();
}

void Qorrfc_Grp_Base_Select_Cbf::add_clause_line(Clause kind, const std::string &text) {
  ITAB_H table = jdata_.handle();
  if (table == ITAB_NULL) return;
  Clause_State &state = clauses_[kind];
  if (state.header == 0) {
    jdata_.append_line("%s", "");
    state.header = jdata_.rows();
  }
  jdata_.append_line("%s", "");
  char *line = static_cast<char *>(ItGetLine(table, jdata_.rows()));
  // A clause text fills its line to the last character: no terminator.
  size_t width = LINE_LEN;
  if (line) ACE_OS::memcpy(line, text.data(), text.size() < width ? text.size() : width);
  ++state.count;
  char header[LINE_LEN + 1];
  ACE_OS::memset(header, ' ', LINE_LEN);
  int n = ACE_OS::snprintf(header, sizeof header, CLAUSE_HEADERS[kind], state.count);
  header[n] = ' ';
  char *row = static_cast<char *>(ItGetLine(table, state.header));
  if (row) ACE_OS::memcpy(row, header, LINE_LEN);
}

void Qorrfc_Grp_Base_Select_Cbf::add_clause_group(Clause kind, const DOMElement *parent) {
  for (const DOMElement *element : elements(parent, CLAUSE_TAGS[kind]))
    add_clause_line(kind, element_text(element));
  clauses_[kind] = Clause_State();
}

void Qorrfc_Grp_Base_Select_Cbf::add_select_clauses(const DOMElement *parent) {
  for (Clause kind : {WHERE, GROUP_BY, HAVING, ORDER_BY}) add_clause_group(kind, parent);
}

void Qorrfc_Grp_Base_Select_Cbf::add_field_list(const DOMElement *parent,
                                                const std::string &default_table) {
  for (const DOMElement *field : elements(parent, "field")) {
    std::string name = qorrfc_attribute(field, "name");
    if (name.empty()) {
      served_->send_error("field has no name");
      continue;
    }
    std::string table = qorrfc_attribute(field, "table");
    if (table.empty()) table = default_table;
    mdata_.append_line("%s,%s,%s,%s,%s,%s", table.c_str(), name.c_str(),
                       qorrfc_attribute(field, "alias").c_str(),
                       starts_with_y(qorrfc_attribute(field, "distinct")) ? "Y" : "",
                       qorrfc_attribute(field, "aggregate").c_str(),
                       qorrfc_attribute(field, "suppress").c_str());
  }
  if (mdata_.rows() == 0) mdata_.append_line("%s,*", default_table.c_str());
}

void Qorrfc_Grp_Base_Select_Cbf::add_select_spec(const DOMElement *select) {
  std::vector<const DOMElement *> tables = elements(select, "table");
  std::string name = tables.empty() ? std::string() : add_table_line(tables.front());
  add_select_clauses(select);
  add_field_list(select, name);
}

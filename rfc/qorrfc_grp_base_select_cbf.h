// The answer to Z_QOR_GET_REQUEST_PARAMETERS for the select requests: the
// select spec (JDATA) and the field list (MDATA) as 72-character lines,
// from which the dialog program builds its statements, and the values
// that say what to return, how big its chunks are and where they go.
// Subclasses turn their own root element into lines; this class keeps the
// interface, the exporting values and the line writers they share.
#pragma once

#include <xercesc/util/XercesDefs.hpp>

#include <string>
#include <vector>

#include "qorrfc_function.h"
#include "qorrfc_itab.h"

XERCES_CPP_NAMESPACE_BEGIN
class DOMElement;
XERCES_CPP_NAMESPACE_END

class Qorrfc_Base_Request;

class Qorrfc_Grp_Base_Select_Cbf : public Qorrfc_Function {
 public:
  enum { LINE_LEN = 72, BLOCKSIZE_LEN = 8 };
  // The clause kinds, in the order a select spec writes them (O last: it
  // follows a table line, not the select).
  enum Clause { WHERE, GROUP_BY, HAVING, ORDER_BY, ON, CLAUSE_KINDS };

  // request must outlive the descriptor (it owns it).
  Qorrfc_Grp_Base_Select_Cbf(const char *name, Qorrfc_Base_Request *request);
  ~Qorrfc_Grp_Base_Select_Cbf() override;

  // Called for the incoming request-parameters call; the first call
  // creates the entries.
  virtual RFC_RC receive(RFC_HANDLE handle);
  // Called after a successful receive: builds the reply from the served
  // request's document and sends it; the library's code.
  virtual RFC_RC send(RFC_HANDLE handle) = 0;

  // BLOCKSIZE for a request's bufmax: never below the configured minimum,
  // and never more digits than the field holds.
  static std::string blocksize(int bufmax, int min_bufsize);

  // What the last reply held (tests read them).
  const Qorrfc_Itab &jdata() const { return jdata_; }
  const Qorrfc_Itab &mdata() const { return mdata_; }

 protected:
  // Empties both tables and sets the exporting values for the request
  // served, which it returns.
  Qorrfc_Base_Request *fill_select_parameters();
  // "sselect", or "sselect,Y" for a distinct root.
  void add_kind_line(const char *kind);
  // "T,name,alias,join" of a table element; gives the name.
  std::string add_table_line(const XERCES_CPP_NAMESPACE::DOMElement *table);
  // The table line, the W, GB, H, OB groups and the field list of one
  // select element.
  void add_select_spec(const XERCES_CPP_NAMESPACE::DOMElement *select);
  // One clause group from the elements named tag below parent.
  void add_clause_group(Clause kind, const XERCES_CPP_NAMESPACE::DOMElement *parent);
  // The four groups of a select, W GB H OB.
  void add_select_clauses(const XERCES_CPP_NAMESPACE::DOMElement *parent);
  // One clause text line under the kind's header, which it counts.
  void add_clause_line(Clause kind, const std::string &text);
  // Back to "no group open" for every kind.
  void reset_clauses();
  // The field elements below parent; default_table for those naming none.
  void add_field_list(const XERCES_CPP_NAMESPACE::DOMElement *parent,
                      const std::string &default_table);
  // The served request's root element.
  const XERCES_CPP_NAMESPACE::DOMElement *root() const;

  // The element children and descendants named tag, in document order.
  static std::vector<const XERCES_CPP_NAMESPACE::DOMElement *> elements(
      const XERCES_CPP_NAMESPACE::DOMElement *parent, const char *tag);
  // The element's text children joined, in the local code page.
  static std::string element_text(const XERCES_CPP_NAMESPACE::DOMElement *element);

 private:
  struct Clause_State {
    unsigned header = 0;  // row of the group's header line, 0 = none yet
    unsigned count = 0;
  };
  void create_entries();

  Qorrfc_Base_Request *request_;
  Qorrfc_Base_Request *served_ = nullptr;
  bool entries_created_ = false;
  Qorrfc_Itab mdata_;
  Qorrfc_Itab jdata_;
  Clause_State clauses_[CLAUSE_KINDS];
  char func_flag_[2] = " ";
  char debug_[2] = " ";
  char dialog_flag_[2] = " ";
  char blocksize_[BLOCKSIZE_LEN + 1] = "00000000";
  std::string abapprog_, variant_, dest_, dhandle_;
};

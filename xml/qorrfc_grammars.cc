#include "qorrfc_grammars.h"

#include <cstring>

#define YN "(n|N|y|Y)"
#define ATT(e, a, t, d) "<!ATTLIST " e " " a " " t " " d ">\n"
#define EL(e, c) "<!ELEMENT " e " " c ">\n"
#define HEAD(r) "<?xml version=\"1.0\"?><!DOCTYPE " r " ["
#define TAIL "]>\n"

#define SELECT_ROOT_ATTS(r)                                                                 \
  ATT(r, "batch", YN, "'N'") ATT(r, "chandle", "CDATA", "#IMPLIED")                          \
  ATT(r, "data", YN, "#IMPLIED") ATT(r, "dhandle", "CDATA", "#IMPLIED")                      \
  ATT(r, "distinct", YN, "#IMPLIED") ATT(r, "metadata", YN, "#IMPLIED")

#define FIELD_HEAD                                                                          \
  EL("field", "EMPTY") ATT("field", "abaptype", "CDATA", "#IMPLIED")                         \
  ATT("field", "aggregate", "(avg|count|max|min|sum|AVG|COUNT|MAX|MIN|SUM)", "#IMPLIED")     \
  ATT("field", "alias", "CDATA", "#IMPLIED") ATT("field", "distinct", YN, "#IMPLIED")        \
  ATT("field", "name", "CDATA", "#REQUIRED")

#define FIELD_TAIL ATT("field", "table", "CDATA", "#IMPLIED")

#define CLAUSES                                                                             \
  EL("groupby", "(#PCDATA)") EL("having", "(#PCDATA)") EL("orderby", "(#PCDATA)")            \
  EL("where", "(#PCDATA)")

#define TABLE(content)                                                                      \
  EL("table", content) ATT("table", "alias", "CDATA", "#IMPLIED")                            \
  ATT("table", "name", "CDATA", "#REQUIRED") ATT("table", "join", "(inner|left)", "#IMPLIED") \
  EL("on", "(#PCDATA)")

namespace {
// The element declaration and the first attribute share the first line.
const char CONNECT[] =
    HEAD("connect") "<!ELEMENT connect EMPTY>" ATT("connect", "abapfm", "CDATA", "#IMPLIED")
    ATT("connect", "abapprog", "CDATA", "#IMPLIED") ATT("connect", "ashost", "CDATA", "#IMPLIED")
    ATT("connect", "client", "CDATA", "#IMPLIED") ATT("connect", "cstring", "CDATA", "#IMPLIED")
    ATT("connect", "dest", "CDATA", "#IMPLIED") ATT("connect", "group", "CDATA", "#IMPLIED")
    ATT("connect", "gwhost", "CDATA", "#IMPLIED") ATT("connect", "gwserv", "CDATA", "#IMPLIED")
    ATT("connect", "lang", "CDATA", "#IMPLIED") ATT("connect", "mshost", "CDATA", "#IMPLIED")
    ATT("connect", "passwd", "CDATA", "#IMPLIED") ATT("connect", "r3name", "CDATA", "#IMPLIED")
    ATT("connect", "saplogon_id", "CDATA", "#IMPLIED")
    ATT("connect", "qordebug", "CDATA", "#IMPLIED") ATT("connect", "sysnr", "CDATA", "#IMPLIED")
    ATT("connect", "trace", "(0|1)", "'0'") ATT("connect", "user", "CDATA", "#IMPLIED")
    ATT("connect", "xpasswd", "CDATA", "#IMPLIED") TAIL;

const char SSELECT[] =
    HEAD("sselect")
    EL("sselect", "((field|groupby|having|orderby|where)*, table, (field|groupby|having|orderby|where)*)")
    SELECT_ROOT_ATTS("sselect") FIELD_HEAD FIELD_TAIL CLAUSES TABLE("EMPTY") TAIL;

const char NSELECT[] =
    HEAD("nselect") EL("nselect", "(sselect+)") SELECT_ROOT_ATTS("nselect")
    EL("sselect", "((field|where)*, table, (field|where)*)")
    ATT("sselect", "chandle", "CDATA", "#IMPLIED") ATT("sselect", "data", YN, "#IMPLIED")
    ATT("sselect", "dhandle", "CDATA", "#IMPLIED") ATT("sselect", "distinct", YN, "#IMPLIED")
    ATT("sselect", "metadata", YN, "#IMPLIED")
    FIELD_HEAD ATT("field", "suppress", YN, "'N'") FIELD_TAIL CLAUSES TABLE("(on*)") TAIL;

const char GSELECT[] =
    HEAD("gselect") EL("gselect", "(field|groupby|having|orderby|table|where)+")
    SELECT_ROOT_ATTS("gselect") FIELD_HEAD FIELD_TAIL CLAUSES TABLE("(on*)") TAIL;

const char FUNCTION[] =
    HEAD("function") EL("function", "(parameter|table|callback|exception)*")
    ATT("function", "chandle", "CDATA", "#IMPLIED") ATT("function", "data", YN, "#IMPLIED")
    ATT("function", "dhandle", "CDATA", "#IMPLIED") ATT("function", "metadata", YN, "#IMPLIED")
    ATT("function", "name", "CDATA", "#IMPLIED") ATT("function", "persist", "(c|C|n|N|y|Y)", "'N'")
    EL("parameter", "(i?)") ATT("parameter", "intlen", "CDATA", "#REQUIRED")
    ATT("parameter", "name", "CDATA", "#REQUIRED") ATT("parameter", "type", "(c|C|b|B)", "'B'")
    ATT("parameter", "paramclass", "(I|E)", "#REQUIRED")
    EL("table", "(field*, i*)") ATT("table", "inputonly", YN, "'N'")
    ATT("table", "intlen", "CDATA", "#REQUIRED") ATT("table", "name", "CDATA", "#REQUIRED")
    ATT("table", "structure", "CDATA", "#IMPLIED")
    EL("callback", "EMPTY") ATT("callback", "name", "CDATA", "#REQUIRED")
    EL("exception", "EMPTY") ATT("exception", "name", "CDATA", "#REQUIRED")
    EL("field", "EMPTY") ATT("field", "name", "CDATA", "#REQUIRED")
    ATT("field", "type", "(C|D|P|T|X|N|F|I|s|b)", "#REQUIRED")
    ATT("field", "len", "CDATA", "#REQUIRED") ATT("field", "len2", "CDATA", "#IMPLIED")
    ATT("field", "len4", "CDATA", "#IMPLIED") ATT("field", "dec", "CDATA", "'0'")
    ATT("field", "offset", "CDATA", "#REQUIRED") ATT("field", "offset2", "CDATA", "#IMPLIED")
    ATT("field", "offset4", "CDATA", "#IMPLIED")
    EL("i", "(d+)") EL("d", "(#PCDATA)") TAIL;

const char PLACEHOLDER[] = "<?xml version=\"1.0\"?><!DOCTYPE dummy [<!ELEMENT dummy EMPTY>]> <dummy/>\n";

const Qorrfc_Grammar GRAMMARS[] = {
    {"connect", CONNECT, sizeof CONNECT - 1},   {"gselect", GSELECT, sizeof GSELECT - 1},
    {"nselect", NSELECT, sizeof NSELECT - 1},   {"sselect", SSELECT, sizeof SSELECT - 1},
    {"function", FUNCTION, sizeof FUNCTION - 1},
};
const Qorrfc_Grammar PLACEHOLDER_GRAMMAR = {nullptr, PLACEHOLDER, sizeof PLACEHOLDER - 1};
}  // namespace

const Qorrfc_Grammar &qorrfc_grammar(const char *root) {
  for (const Qorrfc_Grammar &g : GRAMMARS)
    if (root && std::strcmp(root, g.root) == 0) return g;
  return PLACEHOLDER_GRAMMAR;
}

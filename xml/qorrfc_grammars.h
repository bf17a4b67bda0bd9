// The grammars that the server puts in front of a client's message: an
// XML declaration and a document type with the root element's internal
// subset. The client sends a bare element; its line numbers in parser
// messages are shifted by the prefix's newlines, which clients know.
#pragma once

#include <cstddef>

struct Qorrfc_Grammar {
  const char *root;   // null for the placeholder
  const char *prefix;
  size_t length;
};

// The grammar for a root element name (exact, case-sensitive); any other
// name gets the placeholder, with which no message parses.
const Qorrfc_Grammar &qorrfc_grammar(const char *root);

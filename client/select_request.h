// The select element a client sends: built from a table, fields and a
// where condition, or taken from the user's own XML, and completed with
// the handles of the logon and data connections.
#pragma once

#include <string>

namespace qorclient {

struct SelectOptions {
  std::string table;
  std::string fields;  // comma-separated; empty = all fields
  std::string where;   // Open SQL condition; empty = every row
  bool batch = false;
};

// "<sselect ...><table name=.../><field name=.../>...<where>...</where></sselect>".
// The where condition is split at blanks over several where elements of at
// most 72 characters, since the server hands each to R/3 as one line of
// that width. Throws std::invalid_argument when that cannot be done or
// the table is missing.
std::string sselect_element(const SelectOptions &options);

// Adds to the root start tag of `xml` (an sselect, nselect or gselect
// element, possibly after an XML declaration or comments) the attributes
// chandle, dhandle, data="Y", metadata="Y" and, for batch, batch="Y" —
// each only where the text does not give it already. Line breaks become
// blanks so the request travels as one line. Throws std::invalid_argument
// when there is no select element.
std::string complete_select(const std::string &xml, const std::string &chandle,
                            const std::string &dhandle, bool batch);

}  // namespace qorclient

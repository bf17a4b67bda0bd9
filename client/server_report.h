// How qorcli tells a user what went wrong: the server's error lines as a
// short sentence when they carry an RFC error (all of them with -v), other
// server lines as they came, and failures to reach the server with what to
// check next.
#pragma once

#include <string>
#include <vector>

namespace qorclient {

class ServerReport {
 public:
  // The RFC error in E-lines ("E,Error Group: ...", "E,Key        : ...",
  // "E,Message    : ...") or compatibility lines ("ERROR+ Group=%d,
  // Key=%s", "ERROR+ Message=..."), as one sentence: "MESSAGE (RFC error
  // group G, KEY)". Empty when the lines hold no RFC error.
  static std::string rfc_error_sentence(const std::vector<std::string> &lines);

  // Prints the server's lines on standard error: with an RFC error among
  // them and not verbose, "qorcli: CONTEXT: SENTENCE" and how to see the
  // rest; otherwise every line as it came.
  static void print(const std::vector<std::string> &lines, const std::string &context, bool verbose);

  // "qorcli: WHY" on standard error.
  static void print_failure(const std::string &why);
};

}  // namespace qorclient

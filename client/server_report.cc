#include "server_report.h"

#include <cctype>
#include <cstdio>

namespace qorclient {

namespace {

bool starts(const std::string &s, const char *prefix, std::string &rest) {
  std::string p(prefix);
  if (s.compare(0, p.size(), p) != 0) return false;
  rest = s.substr(p.size());
  return true;
}

// The lines after an RFC error's message name where it arose, one item a
// line: a word, a gap of blanks and its value ("LOCATION    SAP-Server
// r3app01_QR1_00 on host r3app01", "Connect_PM  GWHOST=r3app01"); a short
// sentence leaves them out.
bool is_detail(const std::string &message_line) {
  size_t word = 0;
  while (word < message_line.size() &&
         (std::isalnum(static_cast<unsigned char>(message_line[word])) || message_line[word] == '_'))
    ++word;
  return word > 1 && message_line.compare(word, 2, "  ") == 0;
}

}  // namespace

std::string ServerReport::rfc_error_sentence(const std::vector<std::string> &lines) {
  std::string group, key, message, rest;
  bool details = false;
  for (const auto &l : lines) {
    if (starts(l, "E,Error Group: ", rest)) {
      group = rest;
    } else if (starts(l, "E,Key        : ", rest)) {
      key = rest;
    } else if (starts(l, "E,Message    : ", rest) || starts(l, "ERROR+ Message=", rest)) {
      details = details || is_detail(rest);
      if (!details) message += (message.empty() ? "" : " ") + rest;
    } else if (starts(l, "ERROR+ Group=", rest)) {
      size_t comma = rest.find(", Key=");
      group = rest.substr(0, comma);
      if (comma != std::string::npos) key = rest.substr(comma + 6);
    }
  }
  if (group.empty()) return "";
  if (message.empty()) message = "no message";
  return message + " (RFC error group " + group + (key.empty() ? "" : ", " + key) + ")";
}

void ServerReport::print(const std::vector<std::string> &lines, const std::string &context,
                         bool verbose) {
  std::string sentence = verbose ? "" : rfc_error_sentence(lines);
  if (sentence.empty()) {
    for (const auto &l : lines) std::fprintf(stderr, "%s\n", l.c_str());
    return;
  }
  std::fprintf(stderr, "qorcli: %s: %s\nqorcli: -v shows the server's whole report\n",
               context.c_str(), sentence.c_str());
}

void ServerReport::print_failure(const std::string &why) {
  std::fprintf(stderr, "qorcli: %s\n", why.c_str());
}

}  // namespace qorclient

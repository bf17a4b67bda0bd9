#include "destinations.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <set>

namespace qorclient {

namespace {

std::string trim(const std::string &s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

std::string lower(std::string s) {
  for (char &c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// A value may be quoted to keep blanks at its ends.
std::string unquoted(const std::string &v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
  return v;
}

const std::set<std::string> &known_keys() {
  static const std::set<std::string> k = {"server", "ashost", "sysnr", "gwserv",
                                          "client", "user",   "lang",  "password"};
  return k;
}

// Keys of an RFC library's destination entries that mean nothing to a
// logon through the server; they are passed over, not refused.
const std::set<std::string> &rfc_only_keys() {
  static const std::set<std::string> k = {"type", "trace", "rfc_trace", "abap_debug",
                                          "use_sapgui", "lcheck", "codepage", "gwhost"};
  return k;
}

}  // namespace

std::string Destinations::default_path() {
  const char *file = std::getenv("QORCLI_DESTINATIONS");
  if (file && *file) return file;
  const char *home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.config/qorcli/destinations";
}

bool Destinations::read(const std::string &path, const std::string &name,
                        std::map<std::string, std::string> &values, std::string &why) {
  std::ifstream in(path);
  if (!in) {
    why = "cannot read the destinations file " + path + " (for --dest " + name + ")";
    return false;
  }
  const std::string wanted = lower(name);
  bool inside = false, found = false;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    line = trim(line);
    if (line.empty() || line[0] == '#' || line[0] == '*') continue;
    std::string where = path + ":" + std::to_string(number) + ": ";
    if (line.front() == '[') {
      if (line.back() != ']') {
        why = where + "an entry's name ends in ']'";
        return false;
      }
      inside = lower(trim(line.substr(1, line.size() - 2))) == wanted;
      found = found || inside;
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos) {
      why = where + "expected [NAME] or key = value";
      return false;
    }
    std::string key = lower(trim(line.substr(0, eq)));
    std::string value = unquoted(trim(line.substr(eq + 1)));
    if (key == "dest") {
      inside = lower(value) == wanted;
      found = found || inside;
      continue;
    }
    if (key == "passwd") key = "password";
    if (!known_keys().count(key)) {
      if (rfc_only_keys().count(key)) continue;
      why = where + "unknown key " + key;
      return false;
    }
    if (inside) values[key] = value;
  }
  if (!found) why = "no destination " + name + " in " + path;
  return found;
}

}  // namespace qorclient

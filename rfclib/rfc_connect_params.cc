#include "rfc_connect_params.h"

#include <cctype>
#include <cstdlib>
#include <fstream>

namespace rfcl {

namespace {

std::string upper(std::string s) {
  for (char &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string trim(const std::string &s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

bool all_digits(const std::string &s) {
  if (s.empty() || s.size() > 5) return false;
  for (char c : s)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

}  // namespace

bool parse_connect_string(const char *text, Params &out, std::string &why) {
  std::string s = text ? text : "";
  size_t i = 0, n = s.size();
  while (i < n) {
    while (i < n && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    if (i >= n) break;
    size_t key_start = i;
    while (i < n && s[i] != '=' && !std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    std::string key = upper(s.substr(key_start, i - key_start));
    if (i >= n || s[i] != '=') continue;  // a word without a value is ignored
    ++i;
    std::string value;
    if (i < n && (s[i] == '"' || s[i] == '\'')) {
      char quote = s[i++];
      size_t close = s.find(quote, i);
      if (close == std::string::npos) {
        why = "unclosed quote in the value of " + key;
        return false;
      }
      value = s.substr(i, close - i);
      i = close + 1;
    } else {
      size_t start = i;
      while (i < n && !std::isspace(static_cast<unsigned char>(s[i]))) ++i;
      value = s.substr(start, i - start);
    }
    out[key] = value;
  }
  return true;
}

bool read_ini_entry(const std::string &dest, Params &out, std::string &why) {
  const char *env = std::getenv("RFC_INI");
  std::string path = (env && *env) ? env : "saprfc.ini";
  std::ifstream in(path);
  if (!in) {
    why = "Cannot open " + path + " for destination " + dest;
    return false;
  }
  std::string line;
  bool inside = false, found = false;
  while (std::getline(in, line)) {
    line = trim(line);
    if (line.empty() || line[0] == '*' || line[0] == '#') continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = upper(trim(line.substr(0, eq)));
    std::string value = trim(line.substr(eq + 1));
    if (key == "DEST") {
      inside = upper(value) == upper(dest);
      found = found || inside;
      continue;
    }
    if (inside) out[key] = value;
  }
  if (!found) why = "Destination " + dest + " not found in " + path;
  return found;
}

bool apply_dest(Params &p, std::string &why) {
  auto it = p.find("DEST");
  if (it == p.end() || it->second.empty()) return true;
  Params entry;
  if (!read_ini_entry(it->second, entry, why)) return false;
  for (auto &kv : p) entry[kv.first] = kv.second;
  p.swap(entry);
  return true;
}

int service_port(const std::string &service) {
  std::string s = trim(service);
  if (all_digits(s)) {
    int v = std::atoi(s.c_str());
    return (v > 0 && v < 65536) ? v : -1;
  }
  std::string u = upper(s);
  if (u.size() == 7 && u.compare(0, 5, "SAPGW") == 0 && all_digits(u.substr(5)))
    return 3300 + std::atoi(u.c_str() + 5);
  if (u.size() > 5 && u.compare(0, 5, "SAPMS") == 0) return 3600;
  return -1;
}

void split_router(const std::string &text, std::string &host, int &port) {
  host = text;
  port = 0;
  if (text.size() < 3 || text[0] != '/') return;
  host.clear();
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '/' || i + 2 >= text.size() || text[i + 2] != '/') break;
    char tag = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1])));
    size_t start = i + 3;
    size_t end = text.find('/', start);
    if (end == std::string::npos) end = text.size();
    std::string value = text.substr(start, end - start);
    if (tag == 'H') {
      host = value;
      port = 0;  // a port given before this host belonged to a router
    } else if (tag == 'S') {
      port = service_port(value);
      if (port < 0) port = 0;
    }
    i = end;
  }
}

std::string get(const Params &p, const std::string &key, const std::string &fallback) {
  auto it = p.find(key);
  return (it == p.end() || it->second.empty()) ? fallback : it->second;
}

}  // namespace rfcl

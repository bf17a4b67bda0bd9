#include "qorrfc_file_registry.h"

#include <ace/Guard_T.h>
#include <ace/OS_NS_stdio.h>
#include <ace/OS_NS_stdlib.h>
#include <ace/OS_NS_strings.h>
#include <ace/Singleton.h>
#include <ace/Synch_Traits.h>

#include <fstream>

namespace {

std::string escape(const std::string &s) {
  std::string out;
  for (char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

std::string unescape(const std::string &s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    char c = s[++i];
    out += c == 't' ? '\t' : c == 'n' ? '\n' : c;
  }
  return out;
}

bool same(const std::string &a, const std::string &b) {
  return ACE_OS::strcasecmp(a.c_str(), b.c_str()) == 0;
}

}  // namespace

Qorrfc_File_Registry *Qorrfc_File_Registry::instance() {
  return ACE_Singleton<Qorrfc_File_Registry, ACE_SYNCH_MUTEX>::instance();
}

std::string Qorrfc_File_Registry::file() {
  const char *path = ACE_OS::getenv("QORRFC_REGISTRY");
  return path ? path : "";
}

bool Qorrfc_File_Registry::within(const std::string &key, const std::string &path) {
  if (key.size() < path.size() || !same(key.substr(0, path.size()), path)) return false;
  return key.size() == path.size() || key[path.size()] == '\\';
}

bool Qorrfc_File_Registry::load(std::vector<Entry> &entries) const {
  std::string path = file();
  if (path.empty()) return false;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
    if (tab1 == std::string::npos || tab2 == std::string::npos) continue;
    entries.push_back({unescape(line.substr(0, tab1)),
                       unescape(line.substr(tab1 + 1, tab2 - tab1 - 1)),
                       unescape(line.substr(tab2 + 1))});
  }
  return true;
}

bool Qorrfc_File_Registry::save(const std::vector<Entry> &entries) const {
  // Written aside and renamed, so that a reader never sees half a file.
  std::string path = file(), temp = path + ".new";
  {
    std::ofstream out(temp, std::ios::trunc);
    for (const Entry &e : entries)
      out << escape(e.key) << '\t' << escape(e.name) << '\t' << escape(e.text) << '\n';
    if (!out.flush()) return false;
  }
  return ACE_OS::rename(temp.c_str(), path.c_str()) == 0;
}

Qorrfc_Registry::Result Qorrfc_File_Registry::get(const std::string &path, const char *name,
                                                  std::string &text) {
  ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, lock_, NO_ROOT);
  std::vector<Entry> entries;
  if (!load(entries)) return NO_ROOT;
  bool key_found = false;
  for (const Entry &e : entries) {
    if (!within(e.key, path)) continue;
    key_found = true;
    if (same(e.key, path) && same(e.name, name)) {
      text = e.text;
      return DONE;
    }
  }
  return key_found ? NO_VALUE : NO_KEY;
}

Qorrfc_Registry::Result Qorrfc_File_Registry::set(const std::string &path, const char *name,
                                                  const std::string &text) {
  ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, lock_, NO_ROOT);
  std::vector<Entry> entries;
  if (!load(entries)) return NO_ROOT;
  if (path.empty()) return NO_KEY;
  bool replaced = false;
  for (Entry &e : entries) {
    if (same(e.key, path) && same(e.name, name)) {
      e.text = text;
      replaced = true;
    }
  }
  if (!replaced) entries.push_back({path, name, text});
  return save(entries) ? DONE : NO_VALUE;
}

Qorrfc_Registry::Result Qorrfc_File_Registry::remove_key(const std::string &path) {
  ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, lock_, NO_ROOT);
  std::vector<Entry> entries, kept;
  if (!load(entries)) return NO_ROOT;
  for (Entry &e : entries)
    if (!within(e.key, path)) kept.push_back(e);
  if (kept.size() == entries.size()) return NO_KEY;
  return save(kept) ? DONE : NO_KEY;
}

bool Qorrfc_File_Registry::has_key(const std::string &path) {
  ACE_GUARD_RETURN(ACE_Thread_Mutex, guard, lock_, false);
  std::vector<Entry> entries;
  if (!load(entries)) return false;
  for (const Entry &e : entries)
    if (within(e.key, path)) return true;
  return false;
}

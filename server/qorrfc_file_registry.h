// The registry stand-in for platforms without one: every value is a line
// "key TAB name TAB text" in the file that QORRFC_REGISTRY names (tabs, line
// feeds and backslashes escaped). Without that variable there is no
// registry at all, so a test can never reach a real system's settings.
// Keys and names match without regard to case, as on Windows.
#pragma once

#include <ace/Thread_Mutex.h>

#include <string>
#include <vector>

#include "qorrfc_registry.h"

class Qorrfc_File_Registry : public Qorrfc_Registry {
 public:
  Result get(const std::string &path, const char *name, std::string &text) override;
  Result set(const std::string &path, const char *name, const std::string &text) override;
  // Deletes the key with its values and every key below it.
  Result remove_key(const std::string &path);
  // True when the key or a key below it holds a value.
  bool has_key(const std::string &path);

  // The process's stand-in registry, created on first use.
  static Qorrfc_File_Registry *instance();

 private:
  struct Entry {
    std::string key, name, text;
  };
  // The file's path, or "" when no registry is configured.
  static std::string file();
  // Reads every entry; false when there is no registry (a missing file is
  // an empty one).
  bool load(std::vector<Entry> &entries) const;
  bool save(const std::vector<Entry> &entries) const;
  // The entry's key is path itself or lies below it.
  static bool within(const std::string &key, const std::string &path);

  ACE_Thread_Mutex lock_;
};

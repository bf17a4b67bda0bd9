// The machine's registry as the Windows service shell uses it: string
// values of keys below HKEY_LOCAL_MACHINE. Windows has the real one; other
// platforms keep a stand-in in a file, so the shell runs and is tested there.
#pragma once

#include <string>

class Qorrfc_Registry {
 public:
  // Which step failed, so that the caller can say so.
  enum Result { DONE = 0, NO_ROOT = -1, NO_KEY = -2, NO_VALUE = -3 };

  virtual ~Qorrfc_Registry() = default;

  // Reads the string value name of the key path ("A\\B\\C").
  virtual Result get(const std::string &path, const char *name, std::string &text) = 0;
  // Writes it, creating the key and any key above it that is missing;
  // NO_KEY when the key cannot be made, NO_VALUE when the value cannot.
  virtual Result set(const std::string &path, const char *name, const std::string &text) = 0;

  // The platform's registry, created on first use.
  static Qorrfc_Registry *instance();
};

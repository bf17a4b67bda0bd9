#include "qorrfc_registry.h"

#include <ace/Singleton.h>
#include <ace/Synch_Traits.h>

#if defined (ACE_WIN32)

#include <ace/Registry.h>

namespace {

ACE_TString tstring(const char *text) { return ACE_TString(ACE_TEXT_CHAR_TO_TCHAR(text)); }

class Nt_Registry : public Qorrfc_Registry {
 public:
  Result get(const std::string &path, const char *name, std::string &text) override {
    ACE_Registry::Naming_Context root, key;
    if (ACE_Predefined_Naming_Contexts::connect(root, HKEY_LOCAL_MACHINE) != 0) return NO_ROOT;
    if (root.resolve_context(tstring(path.c_str()), key, KEY_READ) != 0) return NO_KEY;
    // A value too long for the buffer fails as a whole rather than being
    // cut: a cut list would start the service with options nobody gave it.
    char buf[4096] = {};
    ACE_Registry::Object object(buf, sizeof buf - 1, REG_SZ);
    if (key.resolve(tstring(name), object) != 0) return NO_VALUE;
    text.assign(buf);
    return DONE;
  }

  Result set(const std::string &path, const char *name, const std::string &text) override {
    ACE_Registry::Naming_Context root, key;
    if (ACE_Predefined_Naming_Contexts::connect(root, HKEY_LOCAL_MACHINE) != 0) return NO_ROOT;
    if (root.bind_context(tstring(path.c_str()), key) != 0) return NO_KEY;
    ACE_Registry::Object object(const_cast<char *>(text.c_str()),
                                static_cast<u_long>(text.size() + 1), REG_SZ);
    if (key.bind(tstring(name), object) != 0) return NO_VALUE;
    return DONE;
  }
};

}  // namespace

Qorrfc_Registry *Qorrfc_Registry::instance() {
  return ACE_Singleton<Nt_Registry, ACE_SYNCH_MUTEX>::instance();
}

#else

#include "qorrfc_file_registry.h"

Qorrfc_Registry *Qorrfc_Registry::instance() { return Qorrfc_File_Registry::instance(); }

#endif  // ACE_WIN32

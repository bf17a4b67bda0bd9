// The system's registry for a test: the keys of the services the test
// names are deleted before and after it, so that a run starts clean and
// leaves nothing behind. Only names of the tests' own belong here.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace qtest {

class TestRegistry {
 public:
  explicit TestRegistry(std::initializer_list<const char *> names = {"myname"})
      : names_(names.begin(), names.end()) {
    clean();
  }
  ~TestRegistry() { clean(); }

 private:
  void clean() const {
    for (const std::string &name : names_)
      RegDeleteTreeA(HKEY_LOCAL_MACHINE,
                     ("SYSTEM\\CurrentControlSet\\Services\\" + name).c_str());
  }

  std::vector<std::string> names_;
};

}  // namespace qtest

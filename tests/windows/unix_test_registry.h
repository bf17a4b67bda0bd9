// The registry stand-in kept in a temporary file for a test's life.
#pragma once

#include <stdlib.h>

#include <initializer_list>

#include "child_process.h"

namespace qtest {

class TestRegistry {
 public:
  // The names of the services the test uses matter only on Windows.
  explicit TestRegistry(std::initializer_list<const char *> = {}) {
    setenv("QORRFC_REGISTRY", dir_.file("registry").c_str(), 1);
  }
  ~TestRegistry() { unsetenv("QORRFC_REGISTRY"); }

 private:
  TempDir dir_;
};

}  // namespace qtest

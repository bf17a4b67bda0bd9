#include "module_registry.h"

namespace r3sim {

const Module *ModuleRegistry::module(const std::string &name) const {
  auto it = modules_.find(name);
  return it == modules_.end() ? nullptr : &it->second;
}

const JobBody *ModuleRegistry::report(const std::string &name) const {
  auto it = reports_.find(name);
  return it == reports_.end() ? nullptr : &it->second;
}

}  // namespace r3sim

// Function modules and reports by name. Modules serve calls from clients;
// reports are what background jobs run. Filled at start-up, read-only
// afterwards, so sessions and jobs read it without locks.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "call.h"
#include "job.h"

namespace r3sim {

using Module = std::function<void(Call &)>;

class ModuleRegistry {
 public:
  void add_module(const std::string &name, Module module) { modules_[name] = std::move(module); }
  void add_report(const std::string &name, JobBody report) { reports_[name] = std::move(report); }
  const Module *module(const std::string &name) const;
  const JobBody *report(const std::string &name) const;

 private:
  std::map<std::string, Module> modules_;
  std::map<std::string, JobBody> reports_;
};

// The standard modules and the simulator's own test report; each later
// group of modules gets a registration function like these.
void add_standard_modules(ModuleRegistry &registry);
void add_job_modules(ModuleRegistry &registry);
// The QOR transport's modules under the namespace ns (e.g. "/QOR/").
void add_qor_modules(ModuleRegistry &registry, const std::string &ns);

}  // namespace r3sim

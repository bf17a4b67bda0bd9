// The QOR transport's function modules, registered under the namespace
// the simulator was started with.
#include "module_registry.h"
#include "qor_batch_compat.h"
#include "qor_compat.h"
#include "qor_dialog.h"
#include "qor_function_job.h"

namespace r3sim {

void add_qor_modules(ModuleRegistry &registry, const std::string &ns) {
  QorDialog dialog;
  dialog.add_flow(RequestParameters::Flow::kConnect, connect_flow);
  dialog.add_flow(RequestParameters::Flow::kSelect, select_flow);
  dialog.add_flow(RequestParameters::Flow::kFunction, function_flow);
  registry.add_module(ns + "Z_QOR_DIALOG", [dialog](Call &call) { dialog.run(call); });
  registry.add_module(ns + "Z_QOR_READ_TABLE_V8COMPAT", compat_read_table);
  registry.add_module(ns + "Z_QOR_BATCH_V8COMPAT", [ns](Call &call) { compat_batch(call, ns); });
}

}  // namespace r3sim

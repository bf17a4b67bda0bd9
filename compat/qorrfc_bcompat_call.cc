#include "qorrfc_bcompat_call.h"

#include "unix_qorrfc_service_options.h"

Qorrfc_Bcompat_Call::Qorrfc_Bcompat_Call(const char *module) : Qorrfc_Function(module) {}

void Qorrfc_Bcompat_Call::export_report() {
  const char *report = qorrfc_options()->bcompat_report();
  if (report != nullptr && *report != '\0') export_text("Z_QOR_REPORT", report);
}

void Qorrfc_Bcompat_Call::export_variant() {
  const char *variant = qorrfc_options()->bcompat_variant();
  export_text("Z_QOR_VARIANT", variant ? variant : "");
}

void Qorrfc_Bcompat_Call::export_text(const char *name, const std::string &value) {
  values_.push_back(value);
  const std::string &kept = values_.back();
  make_exporting(name, kept.data(), static_cast<unsigned>(kept.size()));
}

void Qorrfc_Bcompat_Call::import_field(const char *name, char *address, unsigned length) {
  make_importing(name, address, length);
}

// A call of the batch-compatibility function module (at CCONNECT, at
// DCONNECT and nested inside the job's second callback). Every call names
// the configured report unless none is configured; the values handed to
// R/3 are copied and live as long as the call.
#pragma once

#include <deque>
#include <string>

#include "qorrfc_function.h"

class Qorrfc_Bcompat_Call : public Qorrfc_Function {
 public:
  explicit Qorrfc_Bcompat_Call(const char *module);

  // Z_QOR_REPORT with the configured report; nothing when it is empty.
  void export_report();
  // Z_QOR_VARIANT with the configured variant.
  void export_variant();
  // An exporting text of its own length.
  void export_text(const char *name, const std::string &value);
  // An importing character field received into length bytes at address.
  void import_field(const char *name, char *address, unsigned length);

 private:
  std::deque<std::string> values_;  // a deque: the addresses stay put
};

#include "qorrfc_function.h"

#include <ace/OS_Memory.h>
#include <ace/OS_NS_stdlib.h>
#include <ace/OS_NS_string.h>

#include <algorithm>
#include "sapitab.h"

namespace {
template <class Entry, class Record>
void build(const std::vector<Entry *> &entries, std::vector<Record> &records) {
  records.assign(entries.size() + 1, Record());
  for (size_t i = 0; i < entries.size(); ++i) entries[i]->fill(records[i]);
}
}  // namespace

Qorrfc_Function::Qorrfc_Function(const char *name) : name_(ACE_OS::strdup(name ? name : "")) {
  ACE_OS::memset(&error_info_, 0, sizeof error_info_);
  build_all();
}

Qorrfc_Function::~Qorrfc_Function() { ACE_OS::free(name_); }

int Qorrfc_Function::add_importing(Qorrfc_Parameter *entry) {
  importing_.push_back(entry);
  return static_cast<int>(importing_.size()) - 1;
}

int Qorrfc_Function::add_exporting(Qorrfc_Parameter *entry) {
  exporting_.push_back(entry);
  return static_cast<int>(exporting_.size()) - 1;
}

int Qorrfc_Function::add_table(Qorrfc_Table *entry) {
  tables_.push_back(entry);
  return static_cast<int>(tables_.size()) - 1;
}

void Qorrfc_Function::build_importing_and_tables() {
  build(importing_, importing_records_);
  build(tables_, table_records_);
}

void Qorrfc_Function::build_exporting() { build(exporting_, exporting_records_); }

void Qorrfc_Function::build_all() {
  build_importing_and_tables();
  build_exporting();
}

RFC_RC Qorrfc_Function::finish(RFC_RC rc, bool system_exception_too) {
  last_code_ = rc;
  take_back_tables();
  if (rc == RFC_FAILURE || (system_exception_too && rc == RFC_SYS_EXCEPTION))
    last_error_result_ = RfcLastErrorEx(&error_info_);
  return rc;
}

void Qorrfc_Function::take_back_tables() {
  for (size_t i = 0; i < tables_.size() && i < table_records_.size(); ++i)
    tables_[i]->take_back(table_records_[i]);
}

RFC_RC Qorrfc_Function::call(RFC_HANDLE handle) {
  exception_ = nullptr;
  return finish(RfcCall(handle, name_, exporting_records_.data(), table_records_.data()), false);
}

RFC_RC Qorrfc_Function::call_receive(RFC_HANDLE handle) {
  exception_ = nullptr;
  return finish(RfcCallReceive(handle, name_, exporting_records_.data(), importing_records_.data(),
                               table_records_.data(), &exception_),
                true);
}

RFC_RC Qorrfc_Function::receive(RFC_HANDLE handle) {
  exception_ = nullptr;
  return finish(RfcReceive(handle, importing_records_.data(), table_records_.data(), &exception_),
                true);
}

RFC_RC Qorrfc_Function::get_data(RFC_HANDLE handle) {
  exception_ = nullptr;
  return finish(RfcGetData(handle, importing_records_.data(), table_records_.data()), false);
}

RFC_RC Qorrfc_Function::send_data(RFC_HANDLE handle) {
  exception_ = nullptr;
  return finish(RfcSendData(handle, exporting_records_.data(), table_records_.data()), false);
}

RFC_RC Qorrfc_Function::raise_tables(RFC_HANDLE handle, const char *exception) {
  exception_ = nullptr;
  char *name = ACE_OS::strdup(exception ? exception : "");
  RFC_RC rc = RfcRaiseTables(handle, name, table_records_.data());
  ACE_OS::free(name);
  return finish(rc, false);
}

ITAB_H Qorrfc_Function::table_handle(int i) const {
  return i >= 0 && i < table_count() ? tables_[i]->handle() : ITAB_NULL;
}

const char *Qorrfc_Function::table_name(int i) const {
  return i >= 0 && i < table_count() ? tables_[i]->name() : nullptr;
}

int Qorrfc_Function::table_index(const char *name) const {
  for (int i = 0; i < table_count(); ++i)
    if (ACE_OS::strcmp(tables_[i]->name(), name) == 0) return i;
  return 0;
}

const char *Qorrfc_Function::importing_name(int i) const {
  return i >= 0 && i < importing_count() ? importing_[i]->name() : nullptr;
}

void *Qorrfc_Function::importing_address(int i) const {
  return i >= 0 && i < importing_count() ? importing_[i]->address() : nullptr;
}

unsigned Qorrfc_Function::importing_length(int i) const {
  return i >= 0 && i < importing_count() ? importing_[i]->length() : 0;
}

void Qorrfc_Function::set_exporting_value(int i, void *address, int length) {
  if (i < 0 || i >= static_cast<int>(exporting_.size())) return;
  unsigned n = length < 0 ? static_cast<unsigned>(ACE_OS::strlen(static_cast<char *>(address)))
                          : static_cast<unsigned>(length);
  exporting_[i]->value(address, n);
  build_exporting();
}

Qorrfc_Parameter *Qorrfc_Function::make_importing(const char *name, void *address,
                                                  unsigned length, RFC_TYPEHANDLE type) {
  owned_parameters_.emplace_back(new Qorrfc_Parameter(name, address, length, type));
  add_importing(owned_parameters_.back().get());
  return owned_parameters_.back().get();
}

Qorrfc_Parameter *Qorrfc_Function::make_exporting(const char *name, const void *address,
                                                  unsigned length, RFC_TYPEHANDLE type) {
  owned_parameters_.emplace_back(
      new Qorrfc_Parameter(name, const_cast<void *>(address), length, type));
  add_exporting(owned_parameters_.back().get());
  return owned_parameters_.back().get();
}

Qorrfc_Table *Qorrfc_Function::make_table(const char *name, RFC_TYPEHANDLE type, unsigned length,
                                          ITAB_H handle) {
  owned_tables_.emplace_back(new Qorrfc_Table(name, type, length, handle));
  add_table(owned_tables_.back().get());
  return owned_tables_.back().get();
}

void Qorrfc_Function::clear_exporting() {
  for (Qorrfc_Parameter *entry : exporting_) {
    auto owned = std::find_if(owned_parameters_.begin(), owned_parameters_.end(),
                              [entry](const std::unique_ptr<Qorrfc_Parameter> &p) {
                                return p.get() == entry;
                              });
    if (owned != owned_parameters_.end()) owned_parameters_.erase(owned);
  }
  exporting_.clear();
  build_exporting();
}

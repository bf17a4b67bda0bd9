// One RFC exchange: a call the server makes or a callback it serves. It
// holds the function's name, its parameter and table entries, the records
// the library reads them from, and the outcome of the last library call.
// Entries added from outside stay their creator's; entries a descriptor
// makes for itself (make_importing and friends) go with the descriptor.
#pragma once

#include <memory>
#include <vector>

#include "qorrfc_parameter.h"
#include "qorrfc_table.h"
#include "sapitab.h"
#include "saprfc.h"

class Qorrfc_Function {
 public:
  explicit Qorrfc_Function(const char *name);
  virtual ~Qorrfc_Function();
  Qorrfc_Function(const Qorrfc_Function &) = delete;
  Qorrfc_Function &operator=(const Qorrfc_Function &) = delete;

  // Each returns the entry's index (the count before adding).
  int add_importing(Qorrfc_Parameter *entry);
  int add_exporting(Qorrfc_Parameter *entry);
  int add_table(Qorrfc_Table *entry);

  // (Re)build the records the library reads from the entries.
  void build_importing_and_tables();
  void build_exporting();
  void build_all();

  // The library calls. Each clears the exception first, keeps the code
  // and, after a failure, the library's error record.
  RFC_RC call(RFC_HANDLE handle);
  RFC_RC call_receive(RFC_HANDLE handle);
  RFC_RC receive(RFC_HANDLE handle);
  RFC_RC get_data(RFC_HANDLE handle);
  RFC_RC send_data(RFC_HANDLE handle);
  RFC_RC raise_tables(RFC_HANDLE handle, const char *exception);

  const char *name() const { return name_; }
  ITAB_H table_handle(int i) const;
  const char *table_name(int i) const;
  // Index of the table called name; 0 also when there is none.
  int table_index(const char *name) const;
  int table_count() const { return static_cast<int>(tables_.size()); }
  int importing_count() const { return static_cast<int>(importing_.size()); }
  const char *importing_name(int i) const;
  void *importing_address(int i) const;
  unsigned importing_length(int i) const;
  // A negative length means the length of the text at address.
  void set_exporting_value(int i, void *address, int length);

  RFC_ERROR_INFO_EX &error_info() { return error_info_; }
  int last_error_result() const { return last_error_result_; }
  const char *exception() const { return exception_ ? exception_ : ""; }
  RFC_RC last_code() const { return last_code_; }

 protected:
  // Entries owned by this object, added in one go.
  Qorrfc_Parameter *make_importing(const char *name, void *address, unsigned length,
                                   RFC_TYPEHANDLE type = RFCTYPE_CHAR);
  Qorrfc_Parameter *make_exporting(const char *name, const void *address, unsigned length,
                                   RFC_TYPEHANDLE type = RFCTYPE_CHAR);
  Qorrfc_Table *make_table(const char *name, RFC_TYPEHANDLE type, unsigned length,
                           ITAB_H handle = ITAB_NULL);
  // Forgets every exporting entry (deleting the owned ones), so that a
  // reply can be built anew.
  void clear_exporting();

 private:
  RFC_RC finish(RFC_RC rc, bool system_exception_too);
  void take_back_tables();

  RFC_RC last_code_ = RFC_OK;
  RFC_ERROR_INFO_EX error_info_;
  int last_error_result_ = 1;
  char *exception_ = nullptr;
  char *name_;
  std::vector<Qorrfc_Parameter *> importing_;
  std::vector<Qorrfc_Parameter *> exporting_;
  std::vector<Qorrfc_Table *> tables_;
  std::vector<RFC_PARAMETER> importing_records_;
  std::vector<RFC_PARAMETER> exporting_records_;
  std::vector<RFC_TABLE> table_records_;
  std::vector<std::unique_ptr<Qorrfc_Parameter>> owned_parameters_;
  std::vector<std::unique_ptr<Qorrfc_Table>> owned_tables_;
};

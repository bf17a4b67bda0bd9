#include "select_callbacks.h"

#include <cstring>
#include <stdexcept>

#include "call_log.h"
#include "sapitab.h"

namespace r3sim {

namespace {

void append_lines(ITAB_H table, unsigned width, const std::string &text) {
  size_t at = 0;
  do {
    auto *row = static_cast<char *>(ItAppLine(table));
    if (!row) throw std::runtime_error("No storage for a callback table");
    put_text(row, width, text.substr(at, width));
    at += width;
  } while (at < text.size());
}

void call_logged(Call &call, const std::string &name, ParamList &exporting, TableList *tables,
                 const NamedValues &values) {
  ParamList none;
  std::string exception;
  RFC_RC rc = call.call_back(name.c_str(), exporting, none, tables, &exception);
  std::string result =
      rc == RFC_OK ? "OK"
                   : "code " + std::to_string(rc) + (exception.empty() ? "" : " " + exception);
  CallLog::record(call.db(), call.session().number, "CALLBACK", name, values, result);
  if (rc != RFC_OK) throw std::runtime_error("Callback " + name + " failed with " + result);
}

}  // namespace

void send_metadata(Call &call, const std::vector<std::string> &lines) {
  TableList tables;
  ITAB_H mtab = tables.add("MTAB", 512);
  NamedValues values;
  for (const auto &l : lines) {
    auto *row = static_cast<char *>(ItAppLine(mtab));
    if (!row) throw std::runtime_error("No storage for the metadata");
    put_text(row, 512, l);
    values.emplace_back("MTAB", l);
  }
  ParamList none;
  call_logged(call, "Z_QOR_MDATA", none, &tables, values);
}

void send_program(Call &call, const std::string &dhandle, const std::vector<std::string> &sql) {
  TableList tables;
  ITAB_H ltab = tables.add("LTAB", 255);
  NamedValues values;
  for (const auto &s : sql) {
    append_lines(ltab, 255, s);
    values.emplace_back("SQL", s);
  }
  char rc[8], handle[130];
  put_text(rc, sizeof rc, "0");
  put_text(handle, sizeof handle, dhandle);
  ParamList exporting;
  exporting.add("RC", rc, sizeof rc).add("DHANDLE", handle, sizeof handle);
  call_logged(call, "Z_QOR_GENPROG", exporting, &tables, values);
}

void call_unknown(Call &call, const std::string &name) {
  ParamList none;
  call_logged(call, name, none, nullptr, {});
}

}  // namespace r3sim

// Test modules for function requests, called by the server directly:
//   ZSIM_FUNC_PARAMS     parameters of both directions and both types, and
//                        tables that come back changed (or emptied)
//   ZSIM_FUNC_CALLBACKS  asks the caller for the rows of one of its tables
//                        (Z_QOR_GET_PARAMETER_TABLE) and sends them back as
//                        a data chunk, each for the DHANDLE it was given
//   ZSIM_FUNC_JOB        runs as a background job that delivers its rows
//                        through the gateway (see qor_function_job.cc)
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "call_log.h"
#include "module_registry.h"
#include "qor_function_job.h"
#include "sapitab.h"

namespace r3sim {

namespace {

constexpr unsigned kRowWidth = 16;

// Imports CTEXT (C 20), BDATA (X 8); exports UPPER (CTEXT upper-cased),
// INVERTED (every bit of BDATA flipped) and NROWS (rows of ROWS, 6
// digits). Every row of ROWS and INFO comes back with its bytes in
// reverse order, ROWS with one more row "ZSIM_FUNC_PARAMS"; EMPTY comes
// back without rows. Tables have rows of 16 bytes.
void zsim_func_params(Call &call) {
  char ctext[20];
  unsigned char bdata[8] = {};
  std::memset(ctext, ' ', sizeof ctext);
  ParamList in;
  in.add("CTEXT", ctext, sizeof ctext).add("BDATA", bdata, sizeof bdata, RFCTYPE_BYTE);
  TableList tables;
  ITAB_H rows = tables.add("ROWS", kRowWidth, RFCTYPE_BYTE);
  ITAB_H info = tables.add("INFO", kRowWidth, RFCTYPE_BYTE);
  ITAB_H empty = tables.add("EMPTY", kRowWidth, RFCTYPE_BYTE);
  if (call.get(in, &tables) != RFC_OK) return;
  char upper[sizeof ctext], nrows[7];
  unsigned char inverted[sizeof bdata];
  for (size_t i = 0; i < sizeof ctext; ++i)
    upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(ctext[i])));
  for (size_t i = 0; i < sizeof bdata; ++i) inverted[i] = static_cast<unsigned char>(~bdata[i]);
  std::snprintf(nrows, sizeof nrows, "%06u", ItFill(rows));
  for (ITAB_H t : {rows, info}) {
    for (unsigned r = 1, n = ItFill(t); r <= n; ++r) {
      char *row = static_cast<char *>(ItGupLine(t, r));
      if (row) std::reverse(row, row + ItLeng(t));
    }
  }
  if (void *last = ItAppLine(rows)) put_text(static_cast<char *>(last), ItLeng(rows), "ZSIM_FUNC_PARAMS");
  ItFree(empty);
  ParamList out;
  out.add("UPPER", upper, sizeof upper)
      .add("INVERTED", inverted, sizeof inverted, RFCTYPE_BYTE)
      .add("NROWS", nrows, 6);
  call.send(out, &tables);
}

// Imports TABNAME (C 30), DHANDLE (C 130), CHUNKNAME (C 30) and
// CHUNKHANDLE (C 130, blank: DHANDLE): asks for the rows of the caller's
// table TABNAME for DHANDLE, then sends them in one last chunk named
// CHUNKNAME to CHUNKHANDLE, with the text line
// "ZSIM_FUNC_CALLBACKS: n rows". A callback that fails ends the call with
// the exception it raised. Both callbacks are in the call log.
void zsim_func_callbacks(Call &call) {
  char tabname[30], dhandle[130], chunkname[30], chunkhandle[130];
  for (char *b : {tabname, chunkname}) std::memset(b, ' ', 30);
  for (char *b : {dhandle, chunkhandle}) std::memset(b, ' ', 130);
  ParamList in;
  in.add("TABNAME", tabname, sizeof tabname)
      .add("DHANDLE", dhandle, sizeof dhandle)
      .add("CHUNKNAME", chunkname, sizeof chunkname)
      .add("CHUNKHANDLE", chunkhandle, sizeof chunkhandle);
  if (call.get(in) != RFC_OK) return;
  const std::string dh = trimmed(dhandle, sizeof dhandle);
  std::string to = trimmed(chunkhandle, sizeof chunkhandle);
  if (to.empty()) to = dh;

  char ptabname[40];
  put_text(ptabname, sizeof ptabname, trimmed(tabname, sizeof tabname));
  ParamList ask, none;
  ask.add("Z_QOR_PARAMETER_TABNAME", ptabname, sizeof ptabname)
      .add("DHANDLE", dhandle, sizeof dhandle);
  TableList ptab;
  ITAB_H rows = ptab.add("Z_QOR_PARAMETER_TABLE", kRowWidth);
  std::string exception;
  RFC_RC rc = call.call_back("Z_QOR_GET_PARAMETER_TABLE", ask, none, &ptab, &exception);
  unsigned n = rc == RFC_OK ? ItFill(rows) : 0;
  NamedValues sent = {{"TABNAME", trimmed(tabname, sizeof tabname)}, {"DHANDLE", dh}};
  CallLog::record(call.db(), call.session().number, "CALLBACK", "Z_QOR_GET_PARAMETER_TABLE", sent,
                  rc == RFC_OK ? "OK " + std::to_string(n) + " rows" : "exception " + exception);
  if (rc != RFC_OK) return (void)call.raise(exception.empty() ? "CALLBACK_FAILED" : exception);

  std::vector<std::string> data;
  for (unsigned r = 1; r <= n; ++r)
    data.emplace_back(static_cast<const char *>(ItGetLine(rows, r)), kRowWidth);
  Chunk chunk{to, trimmed(chunkname, sizeof chunkname), kRowWidth, data,
              {"ZSIM_FUNC_CALLBACKS: " + std::to_string(n) + " rows"}, true};
  rc = send_chunk(
      [&call](ParamList &ex, TableList &tables, std::string *exc) {
        ParamList nothing;
        return call.call_back("Z_QOR_DATA_CHUNK", ex, nothing, &tables, exc);
      },
      chunk, &exception);
  CallLog::record(call.db(), call.session().number, "CALLBACK", "Z_QOR_DATA_CHUNK",
                  {{"DHANDLE", to}, {"TABLE_NAME", chunk.table}},
                  rc == RFC_OK ? "OK" : "exception " + exception);
  if (rc != RFC_OK) return (void)call.raise(exception.empty() ? "CALLBACK_FAILED" : exception);
  ParamList nothing;
  call.send(nothing);
}

}  // namespace

void add_function_test_modules(ModuleRegistry &registry) {
  registry.add_module("ZSIM_FUNC_PARAMS", zsim_func_params);
  registry.add_module("ZSIM_FUNC_CALLBACKS", zsim_func_callbacks);
  registry.add_module("ZSIM_FUNC_JOB", function_job_module);
}

}  // namespace r3sim

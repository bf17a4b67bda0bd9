// Plays the server's side of the dialog module's select flow: calls
// <ns>Z_QOR_DIALOG with PDEST "BACK", answers the request parameters with
// the select given, and receives the metadata, program and data chunks
// the module calls back with, answering each as the server would.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "r3sim_process.h"
#include "call_lists.h"
#include "saprfc.h"

namespace r3simtest {

struct SelectAsk {
  std::vector<std::string> jdata, mdata;
  std::string func_flag = "D";
  std::string blocksize = "00000000";
  std::string debug;
  std::string dhandle = "4711";
  std::string dialog_flag;
  int kill_chunk = 0;          // answer this chunk with KILLED_BY_QOR
  std::string raise_unknown;   // raise this for a callback of another name
  bool keep_rows = true;       // false: count rows only
  std::string module = "/QOR/Z_QOR_DIALOG";
};

struct Chunk {
  std::string dhandle, emsg, end_of_data, table_name;
  unsigned width = 0;
  unsigned rows = 0;
};

struct SelectOutcome {
  RFC_RC rc = RFC_OK;
  std::string exception;  // raised by the module
  std::string error;      // message of a failed call
  std::vector<std::string> callbacks;
  std::vector<std::string> metadata;  // MTAB lines, trailing blanks cut
  std::vector<std::string> program;   // LTAB lines, trailing blanks cut
  std::vector<Chunk> chunks;
  std::string data;  // the rows of all chunks, back to back
  int64_t rows = 0;

  // The rows, each of the width of the first chunk.
  std::vector<std::string> records() const;
};

class SelectDriver {
 public:
  explicit SelectDriver(R3simProcess &sim) : sim_(sim) {}
  ~SelectDriver();
  // One call of the dialog module on this driver's session (logged on at
  // first use, again after a call that broke it).
  SelectOutcome run(const SelectAsk &ask);

 private:
  void answer_parameters(const SelectAsk &ask);
  void receive_chunk(const SelectAsk &ask, SelectOutcome &out);
  std::vector<std::string> receive_lines(const char *table, r3sim::ParamList *importing = nullptr);

  R3simProcess &sim_;
  RFC_HANDLE h_ = RFC_HANDLE_NULL;
};

}  // namespace r3simtest

// Function modules as the QOR transport runs them: the function flow of
// the dialog module (FUNC_NAME in the request parameters), and modules
// that R/3 decides to run as a background job. Such a module announces the
// job to its caller (Z_QOR_JOB_NUMBER with the gateway values of the RFC
// destination), the job asks the registered program for its token
// (Z_QOR_GET_TOKEN) and delivers its rows there in Z_QOR_DATA_CHUNK calls,
// and the module waits for the job's end and then announces job "0".
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "call.h"
#include "request_parameters.h"

namespace r3sim {

// One Z_QOR_DATA_CHUNK call: rows of width bytes (cut or zero-filled)
// and text lines for DHANDLE, END_OF_DATA 'X' when last.
struct Chunk {
  std::string dhandle;
  std::string table;
  unsigned width;
  std::vector<std::string> rows;
  std::vector<std::string> lines;
  bool last;
};

// Makes the call on whatever carries it (a pending call's callback, or a
// job's conversation with the registered program).
using ChunkCaller = std::function<RFC_RC(ParamList &exporting, TableList &tables,
                                         std::string *exception)>;
RFC_RC send_chunk(const ChunkCaller &caller, const Chunk &chunk, std::string *exception);

// The rows the test functions deliver: "<prefix> ROW nnnnnn", 16 bytes.
std::vector<std::string> test_rows(const std::string &prefix, int count);

// ZSIM_FUNC_JOB called directly: imports DEST (C 32, the RFC destination
// of the job), ROWS (C 6, rows to deliver, default 3) and UNKNOWN (C 1;
// 'X': the job asks for its token with a job number nobody announced).
void function_job_module(Call &call);

// The dialog module's flow for a function request. FUNC_NAME
// ZSIM_FUNC_ROWS delivers three rows in two chunks to DHANDLE (with a text
// line when FUNC_FLAG asks for metadata); ZSIM_FUNC_JOB and
// ZSIM_FUNC_JOB_UNKNOWN run as jobs for DEST, or for the destination of
// the server's variant when DEST is blank.
void function_flow(Call &call, const RequestParameters &params);

}  // namespace r3sim

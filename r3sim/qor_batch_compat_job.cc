// The extraction job of the batch compatibility module: it learns its
// extraction from the registered server, asks the server to call the
// module back, and the nested call sends the records as rows of the
// record length.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "call_log.h"
#include "chunk_sender.h"
#include "compat_records.h"
#include "job_conversation.h"
#include "qor_batch_compat.h"
#include "simulator.h"

namespace r3sim {

namespace {

constexpr unsigned kLine = 72;
const char kParams[] = "Z_QOR_GET_EXTRACTION_PARAMS";
const char kCallback[] = "Z_QOR_BATCH_CALLBACK2";

struct Extraction {
  std::string dhandle, table, record_length, form, where;
};

Extraction fetch_extraction(Job &job, int64_t session_number) {
  char dhandle[131], table[30], length[8], form[30];
  std::memset(dhandle, ' ', sizeof dhandle);
  std::memset(table, ' ', sizeof table);
  std::memset(length, ' ', sizeof length);
  std::memset(form, ' ', sizeof form);
  ParamList none, importing;
  importing.add("DHANDLE", dhandle, sizeof dhandle)
      .add("TABLE_NAME", table, sizeof table)
      .add("RECORD_LENGTH", length, sizeof length)
      .add("FORM", form, sizeof form);
  TableList tables;
  ITAB_H wtab = tables.add("Z_QOR_WTAB", kLine);
  job.log(std::string("Calling ") + kParams + " of program " + job.spec().progid);
  std::string exception;
  if (job.call(kParams, none.get(), importing.get(), tables.get(), &exception) != RFC_OK)
    throw JobFailed(std::string(kParams) + " raised " + exception);
  Extraction x{trimmed(dhandle, sizeof dhandle), trimmed(table, sizeof table),
               trimmed(length, sizeof length), trimmed(form, sizeof form),
               condition_from_lines(wtab, kLine)};
  NamedValues got = {{"DHANDLE", x.dhandle},
                     {"TABLE_NAME", x.table},
                     {"RECORD_LENGTH", x.record_length},
                     {"FORM", x.form}};
  if (x.where.find_first_not_of(' ') != std::string::npos) got.emplace_back("WHERE", x.where);
  CallLog::record(job.db(), session_number, "CALLBACK", kParams, got, "OK");
  return x;
}

// The nested call of the module: PBUFMAX (the bytes a chunk should hold)
// and the report; the records go back in chunks.
void deliver(Call &call, const Extraction &x) {
  char bufmax[8], report[100];
  std::memset(bufmax, 0, sizeof bufmax);
  std::memset(report, 0, sizeof report);
  ParamList importing, none;
  importing.add("PBUFMAX", bufmax, sizeof bufmax).add("Z_QOR_REPORT", report, sizeof report);
  if (call.get(importing) != RFC_OK) return;
  NamedValues got;
  if (bufmax[0] != '\0') got.emplace_back("PBUFMAX", trimmed(bufmax, sizeof bufmax));
  if (report[0] != '\0') got.emplace_back("Z_QOR_REPORT", trimmed(report, sizeof report));
  int64_t row = CallLog::record(call.db(), call.session().number, "CALL", call.function(), got,
                                "CALLED");
  std::optional<TableDef> def;
  std::string refusal =
      CompatRecords::refusal(call.db(), x.table, x.record_length, &x.form, def);
  size_t width = std::strtoul(x.record_length.c_str(), nullptr, 10);
  ChunkSender sender(call, x.dhandle, x.table, refusal.empty() ? width : 0,
                     std::strtoll(trimmed(bufmax, sizeof bufmax).c_str(), nullptr, 10),
                     ChunkFaults::take(call.db(), call.function()));
  std::unique_ptr<CompatRecords> records;
  if (refusal.empty()) {
    try {
      records = std::make_unique<CompatRecords>(call.db(), *def, x.where, width);
    } catch (const std::exception &e) {
      refusal = "Invalid selection condition: " + std::string(e.what());
    }
  }
  int64_t count = 0;
  if (!refusal.empty()) {
    sender.fail(refusal);
  } else {
    count = records->run([&](const char *record) {
      char *out = sender.row();
      if (out == nullptr) return false;
      std::memcpy(out, record, width);
      return true;
    });
    sender.finish();
  }
  const char *state = sender.state() == ChunkSender::State::kKilled    ? "killed"
                      : sender.state() == ChunkSender::State::kDropped ? "dropped"
                                                                       : nullptr;
  CallLog::set_result(call.db(), row,
                      !refusal.empty() ? refusal
                      : state          ? std::string(state) + " after " + std::to_string(count) + " records"
                                       : "OK " + std::to_string(count) + " records");
  if (sender.state() != ChunkSender::State::kDropped) call.send(none);
}

}  // namespace

void run_compat_batch_job(Simulator &sim, const RFCP_LOGON &logon, int64_t session_number,
                          const std::string &module, Job &job) {
  Extraction x = fetch_extraction(job, session_number);
  job.log(std::string("Calling ") + kCallback + " of program " + job.spec().progid);
  ParamList none;
  call_serving(sim, logon, session_number, job, kCallback, none.get(), [&](Call &call) {
    if (module != call.function()) return false;
    deliver(call, x);
    return true;
  });
  job.log("Extraction delivered");
}

}  // namespace r3sim

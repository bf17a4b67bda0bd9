#include "qor_function_job.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <stdexcept>

#include "batch_destination.h"
#include "call_log.h"
#include "simulator.h"
#include "sapitab.h"

namespace r3sim {

namespace {

constexpr unsigned kRowWidth = 16;
// How long a job waits for its module to have announced it.
constexpr std::chrono::seconds kAnnounceWait{30};

// Z_QOR_JOB_NUMBER with the job count and the gateway values.
RFC_RC announce_job(Call &call, const std::string &count, const BatchDestination &d,
                    std::string *exception) {
  char jobcount[8], dest[256], progid[256], gwhost[256], gwserv[256], gwflag[1] = {d.gwflag};
  put_text(jobcount, sizeof jobcount, count);
  put_text(dest, sizeof dest, d.dest);
  put_text(progid, sizeof progid, d.progid);
  put_text(gwhost, sizeof gwhost, d.gwhost);
  put_text(gwserv, sizeof gwserv, d.gwserv);
  ParamList exporting, none;
  exporting.add("JOBCOUNT", jobcount, sizeof jobcount)
      .add("BATDEST", dest, sizeof dest)
      .add("BATPRID", progid, sizeof progid)
      .add("BATGWH", gwhost, sizeof gwhost)
      .add("BATGWS", gwserv, sizeof gwserv)
      .add("BATGWFL", gwflag, sizeof gwflag);
  RFC_RC rc = call.call_back("Z_QOR_JOB_NUMBER", exporting, none, nullptr, exception);
  CallLog::record(call.db(), call.session().number, "CALLBACK", "Z_QOR_JOB_NUMBER",
                  {{"JOBCOUNT", count}, {"BATPRID", d.progid}},
                  rc == RFC_OK ? "OK" : "code " + std::to_string(rc) + " " + *exception);
  return rc;
}

// The job: its token from the registered program, then its rows there.
void deliver_through_gateway(Job &job, std::shared_future<bool> announced, bool unknown, int rows) {
  if (announced.wait_for(kAnnounceWait) != std::future_status::ready || !announced.get())
    throw JobFailed("The job was not announced to the caller");
  char jobno[8], token[100];
  put_text(jobno, sizeof jobno, unknown ? "99999999" : job.count());
  std::memset(token, ' ', sizeof token);
  ParamList exporting, importing;
  exporting.add("Z_QOR_JOBNO", jobno, sizeof jobno);
  importing.add("Z_QOR_TOKEN", token, sizeof token);
  std::string exception;
  if (job.call("Z_QOR_GET_TOKEN", exporting.get(), importing.get(), nullptr, &exception) != RFC_OK)
    throw JobFailed("Z_QOR_GET_TOKEN raised " + exception);
  std::string dhandle = trimmed(token, sizeof token);
  job.log("Token " + dhandle);
  std::vector<std::string> all = test_rows("JOB", rows);
  ChunkCaller caller = [&job](ParamList &ex, TableList &tables, std::string *exc) {
    ParamList none;
    return job.call("Z_QOR_DATA_CHUNK", ex.get(), none.get(), tables.get(), exc);
  };
  // Two chunks: the first row alone, then the rest.
  size_t split = all.empty() ? 0 : 1;
  Chunk first{dhandle, "ZJOBROWS", kRowWidth, {all.begin(), all.begin() + split}, {}, false};
  Chunk rest{dhandle, "ZJOBROWS", kRowWidth, {all.begin() + split, all.end()}, {}, true};
  for (const Chunk *c : {&first, &rest})
    if (send_chunk(caller, *c, &exception) != RFC_OK)
      throw JobFailed("Z_QOR_DATA_CHUNK raised " + exception);
  job.log("Rows delivered: " + std::to_string(all.size()));
}

// Runs the job for the caller of `call` and waits for its end; the
// module's call then goes on.
void run_as_job(Call &call, const BatchDestination &d, bool unknown, int rows) {
  if (!d.message.empty()) throw std::runtime_error(d.message);
  auto announced = std::make_shared<std::promise<bool>>();
  std::shared_future<bool> ready = announced->get_future().share();
  JobSpec spec;
  spec.jobname = spec.report = "ZSIM_FUNC_JOB";
  spec.progid = d.progid;
  spec.user = call.session().logon.user;
  std::string error;
  std::string count = call.sim().jobs().start(
      spec, [ready, unknown, rows](Job &job) { deliver_through_gateway(job, ready, unknown, rows); },
      &error);
  if (count.empty()) throw std::runtime_error(error);
  std::string exception;
  RFC_RC rc = announce_job(call, count, d, &exception);
  announced->set_value(rc == RFC_OK);
  call.sim().jobs().wait(count);
  if (rc != RFC_OK) throw std::runtime_error("Z_QOR_JOB_NUMBER failed: " + exception);
  // The end of the job: its number goes out of use at the caller.
  BatchDestination none_left = d;
  announce_job(call, "0", none_left, &exception);
}

}  // namespace

std::vector<std::string> test_rows(const std::string &prefix, int count) {
  std::vector<std::string> rows;
  for (int i = 1; i <= count; ++i) {
    char row[32];
    std::snprintf(row, sizeof row, "%-4.4s ROW %06d ", prefix.c_str(), i % 1000000);
    rows.emplace_back(row, kRowWidth);
  }
  return rows;
}

RFC_RC send_chunk(const ChunkCaller &caller, const Chunk &chunk, std::string *exception) {
  TableList tables;
  ITAB_H dtab = tables.add("DTAB", chunk.width, RFCTYPE_BYTE);
  ITAB_H mtab = tables.add("MTAB", 512);
  for (const std::string &r : chunk.rows) {
    char *row = static_cast<char *>(ItAppLine(dtab));
    if (row == nullptr) throw std::runtime_error("No storage for a chunk of rows");
    std::memset(row, 0, chunk.width);
    std::memcpy(row, r.data(), r.size() < chunk.width ? r.size() : chunk.width);
  }
  for (const std::string &l : chunk.lines)
    if (void *row = ItAppLine(mtab)) put_text(static_cast<char *>(row), 512, l);
  char dhandle[131], emsg[200], eod[1] = {chunk.last ? 'X' : ' '}, table[30];
  put_text(dhandle, sizeof dhandle, chunk.dhandle);
  std::memset(emsg, ' ', sizeof emsg);
  put_text(table, sizeof table, chunk.table);
  ParamList exporting;
  exporting.add("DHANDLE", dhandle, sizeof dhandle)
      .add("EMSG", emsg, sizeof emsg)
      .add("END_OF_DATA", eod, 1)
      .add("TABLE_NAME", table, sizeof table);
  return caller(exporting, tables, exception);
}

void function_job_module(Call &call) {
  char dest[32], rows[6], unknown[1] = {' '};
  std::memset(dest, ' ', sizeof dest);
  std::memset(rows, ' ', sizeof rows);
  ParamList in;
  in.add("DEST", dest, sizeof dest).add("ROWS", rows, sizeof rows).add("UNKNOWN", unknown, 1);
  if (call.get(in) != RFC_OK) return;
  std::string count = trimmed(rows, sizeof rows);
  run_as_job(call, BatchDestination::of_destination(call, trimmed(dest, sizeof dest)),
             unknown[0] == 'X', count.empty() ? 3 : std::atoi(count.c_str()));
  ParamList none;
  call.send(none);
}

void function_flow(Call &call, const RequestParameters &params) {
  const std::string &name = params.func_name;
  if (name == "ZSIM_FUNC_ROWS") {
    std::vector<std::string> rows = test_rows("DIA", 3);
    std::vector<std::string> lines;
    if (params.func_flag == "M" || params.func_flag == "B") lines.push_back("ZSIM_FUNC_ROWS ROW 16");
    ChunkCaller caller = [&call](ParamList &ex, TableList &tables, std::string *exc) {
      ParamList none;
      return call.call_back("Z_QOR_DATA_CHUNK", ex, none, &tables, exc);
    };
    Chunk first{params.dhandle, "ZDIAROWS", kRowWidth, {rows[0], rows[1]}, lines, false};
    Chunk last{params.dhandle, "ZDIAROWS", kRowWidth, {rows[2]}, {}, true};
    std::string exception;
    for (const Chunk *c : {&first, &last})
      if (send_chunk(caller, *c, &exception) != RFC_OK)
        throw std::runtime_error("Z_QOR_DATA_CHUNK failed: " + exception);
    return;
  }
  if (name == "ZSIM_FUNC_JOB" || name == "ZSIM_FUNC_JOB_UNKNOWN") {
    BatchDestination d = params.dest.empty()
                             ? BatchDestination::of_variant(call, params.abapprog, params.variant)
                             : BatchDestination::of_destination(call, params.dest);
    run_as_job(call, d, name == "ZSIM_FUNC_JOB_UNKNOWN", 3);
    return;
  }
  throw std::runtime_error("Function module " + name + " cannot run through the transport");
}

}  // namespace r3sim

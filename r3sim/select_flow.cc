// The select flow of the dialog module: the select the server described
// becomes one SQL statement per select, whose rows stream to the server in
// data chunks as they come out of SQLite (never the whole result at once).
// Errors reach the server as R/3 reports them: in the EMSG of a chunk.
#include <cstdlib>
#include <memory>

#include "call_log.h"
#include "chunk_sender.h"
#include "fault_table.h"
#include "generated_table.h"
#include "qor_dialog.h"
#include "record_writer.h"
#include "select_callbacks.h"
#include "select_statement.h"
#include "system_config.h"
#include "table_authority.h"

namespace r3sim {

namespace {

constexpr int64_t kDefaultRowLimit = 1000000;

// A statement ready to step, with its SQL as it runs (literals in place).
struct Prepared {
  Prepared(SqliteDb &db, SelectStatement s) : statement(std::move(s)), stmt(statement.prepare(db)) {
    char *text = sqlite3_expanded_sql(stmt.raw());
    sql = text ? text : statement.sql();
    sqlite3_free(text);
  }
  SelectStatement statement;
  Stmt stmt;
  std::string sql;
};

// All statements of the request, or the reason they cannot run.
std::vector<std::unique_ptr<Prepared>> prepare_all(Call &call, const RequestParameters &params,
                                                   std::string &first_table) {
  SqliteDb &db = call.db();
  SelectRequest request = SelectRequest::parse(params.jdata, params.mdata);
  first_table = request.selects[0].tables[0].name;
  std::vector<std::unique_ptr<Prepared>> out;
  for (const auto &s : request.selects) {
    SelectStatement statement(db, s, request.distinct);
    // The system's own tables (users and their passwords) stay closed to
    // extractions as they are to RFC_READ_TABLE.
    for (const auto &t : statement.tables())
      if (!TableAuthority::may_read(call, t.second))
        throw SelectError("No authorisation to read table " + t.first);
    out.push_back(std::make_unique<Prepared>(db, std::move(statement)));
    if (out.back()->statement.layout().width() != out[0]->statement.layout().width())
      throw SelectError("All selects of an nselect must have the same record width");
  }
  return out;
}

int64_t row_limit(SqliteDb &db) {
  std::string v = SystemConfig::get(db, "DIALOG_ROWLIMIT", std::to_string(kDefaultRowLimit));
  return std::strtoll(v.c_str(), nullptr, 10);
}

enum class Ended { kDone, kStopped, kLimit };

// The rows of a plain read of a generated table, computed straight into
// the chunk: the same rows the statement gives, without SQLite between.
Ended stream_generated(Prepared &p, ChunkSender &sender, int64_t limit, int64_t &total) {
  const auto &fields = p.statement.layout().fields();
  for (int64_t r = 1; r <= p.statement.generated_rows(); ++r) {
    if (limit > 0 && ++total > limit) return Ended::kLimit;
    char *out = sender.row();
    if (!out) return Ended::kStopped;
    for (const auto &f : fields) GeneratedTable::put_binary(f, r, out + f.offset);
  }
  return Ended::kDone;
}

// Steps one statement into the chunks; SQLite errors become the EMSG.
Ended stream(Call &call, Prepared &p, ChunkSender &sender, int64_t limit, int64_t &total) {
  int64_t row = CallLog::record(call.db(), call.session().number, "SQL", call.function(),
                                {{"SQL", p.sql}}, "CALLED");
  if (p.statement.generated_rows() >= 0) {
    Ended ended = stream_generated(p, sender, limit, total);
    CallLog::set_result(call.db(), row, ended == Ended::kDone ? "OK" : "STOPPED");
    return ended;
  }
  RecordWriter writer(p.statement.layout());
  Ended ended = Ended::kDone;
  try {
    while (p.stmt.step()) {
      if (limit > 0 && ++total > limit) {
        ended = Ended::kLimit;
        break;
      }
      char *out = sender.row();
      if (!out) {
        ended = Ended::kStopped;
        break;
      }
      writer.write(p.stmt, out);
    }
  } catch (const DbError &e) {
    std::string why = std::string("SQL error: ") + e.what();
    CallLog::set_result(call.db(), row, why);
    sender.fail(why);
    return Ended::kStopped;
  }
  CallLog::set_result(call.db(), row, ended == Ended::kDone ? "OK" : "STOPPED");
  return ended;
}

}  // namespace

void select_flow(Call &call, const RequestParameters &params) {
  SqliteDb &db = call.db();
  ChunkFaults faults = ChunkFaults::take(db, call.function());
  auto unknown_callback = FaultTable::take(db, call.function(), "CALLBACK");
  char flag = params.func_flag.empty() ? ' ' : params.func_flag[0];
  int64_t block = std::strtoll(params.blocksize.c_str(), nullptr, 10);

  std::string table;
  std::vector<std::unique_ptr<Prepared>> statements;
  std::string error;
  try {
    statements = prepare_all(call, params, table);
  } catch (const SelectError &e) {
    error = e.what();
  } catch (const DbError &e) {
    error = std::string("SQL error: ") + e.what();
  }
  if (!error.empty()) return ChunkSender(call, params.dhandle, table, 0, block, faults).fail(error);
  if (unknown_callback) return call_unknown(call, unknown_callback->arg);
  if (!params.debug.empty()) {
    std::vector<std::string> sql;
    for (const auto &p : statements) sql.push_back(p->sql);
    send_program(call, params.dhandle, sql);
  }
  if (flag == 'M' || flag == 'B') send_metadata(call, statements[0]->statement.metadata());
  if (flag != 'D' && flag != 'B') return;

  ChunkSender sender(call, params.dhandle, table, statements[0]->statement.layout().width(), block,
                     faults);
  // The row limit protects the dialog work processes; the server lifts it
  // with DIALOG_FLAG, and a background job has none to protect.
  int64_t limit = params.dialog_flag.empty() && !call.session().background ? row_limit(db) : 0;
  int64_t total = 0;
  for (auto &p : statements) {
    Ended ended = stream(call, *p, sender, limit, total);
    if (ended == Ended::kStopped) return;
    if (ended == Ended::kLimit) {
      call.raise("DIALOG_ROWLIMIT_EXCEEDED");
      return;
    }
  }
  sender.finish();
}

}  // namespace r3sim

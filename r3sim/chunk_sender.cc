#include "chunk_sender.h"

#include <chrono>
#include <stdexcept>
#include <thread>

#include "call_log.h"
#include "fault_table.h"
#include "sapitab.h"

namespace r3sim {

namespace {

const char kCallback[] = "Z_QOR_DATA_CHUNK";
const char kKilled[] = "KILLED_BY_QOR";
constexpr int64_t kDefaultBlock = 65536;

}  // namespace

ChunkFaults ChunkFaults::take(SqliteDb &db, const std::string &function) {
  ChunkFaults f;
  if (auto e = FaultTable::take(db, function, "EMSG")) {
    f.emsg = e->arg;
    f.emsg_chunk = e->nth > 0 ? e->nth : 1;
  }
  if (auto d = FaultTable::take(db, function, "CHUNK_DELAY")) f.delay_ms = d->nth;
  if (auto d = FaultTable::take(db, function, "CHUNK_DROP")) f.drop_chunk = d->nth > 0 ? d->nth : 1;
  return f;
}

ChunkSender::ChunkSender(Call &call, std::string dhandle, std::string table, size_t width,
                         int64_t block_size, ChunkFaults faults)
    : call_(call),
      dhandle_(std::move(dhandle)),
      table_(std::move(table)),
      width_(width),
      faults_(std::move(faults)) {
  size_t block = static_cast<size_t>(block_size > 0 ? block_size : kDefaultBlock);
  per_chunk_ = width_ > 0 && block / width_ > 1 ? block / width_ : 1;
  dtab_ = tables_.add("DTAB", static_cast<unsigned>(width_), RFCTYPE_BYTE);
  tables_.add("MTAB", 512);
}

char *ChunkSender::row() {
  if (held_ == per_chunk_) send(false, "");
  if (state_ != State::kOpen) return nullptr;
  char *r = static_cast<char *>(ItAppLine(dtab_));
  if (!r) throw std::runtime_error("No storage for a chunk of rows");
  ++held_;
  return r;
}

void ChunkSender::fail(const std::string &emsg) {
  ItFree(dtab_);
  held_ = 0;
  send(true, emsg.empty() ? "Extraction failed" : emsg);
}

void ChunkSender::send(bool last, std::string emsg) {
  if (state_ != State::kOpen) return;
  ++chunks_;
  if (faults_.delay_ms > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(faults_.delay_ms));
  if (faults_.drop_chunk == chunks_) {
    log("", "DROPPED");
    state_ = State::kDropped;
    call_.drop();
    return;
  }
  if (faults_.emsg_chunk == chunks_ && emsg.empty()) {
    ItFree(dtab_);
    held_ = 0;
    emsg = faults_.emsg;
    last = true;
  }
  char dhandle[131], message[200], eod[1] = {last ? 'X' : ' '}, table[30];
  put_text(dhandle, sizeof dhandle, dhandle_);
  put_text(message, sizeof message, emsg);
  put_text(table, sizeof table, table_);
  ParamList exporting, none;
  exporting.add("DHANDLE", dhandle, sizeof dhandle)
      .add("EMSG", message, sizeof message)
      .add("END_OF_DATA", eod, 1)
      .add("TABLE_NAME", table, sizeof table);
  std::string exception;
  RFC_RC rc = call_.call_back(kCallback, exporting, none, &tables_, &exception);
  rows_sent_ += static_cast<int64_t>(held_);
  ItFree(dtab_);
  held_ = 0;
  if (rc != RFC_OK && exception == kKilled) {
    log(emsg, kKilled);
    state_ = State::kKilled;
    return;
  }
  if (rc != RFC_OK) {
    std::string why = "code " + std::to_string(rc) + (exception.empty() ? "" : " " + exception);
    log(emsg, why);
    state_ = State::kEnded;
    throw std::runtime_error(std::string("Callback ") + kCallback + " failed with " + why);
  }
  if (last) {
    log(emsg, "OK");
    state_ = State::kEnded;
  }
}

// One row for the chunk that ended the extraction, whatever ended it.
void ChunkSender::log(const std::string &emsg, const std::string &result) {
  NamedValues v{{"CHUNK", std::to_string(chunks_)}, {"ROWS", std::to_string(rows_sent_)}};
  if (!emsg.empty()) v.emplace_back("EMSG", emsg);
  CallLog::record(call_.db(), call_.session().number, "CALLBACK", kCallback, v, result);
}

}  // namespace r3sim

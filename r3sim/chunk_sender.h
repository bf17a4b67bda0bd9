// Sends the rows of an extraction to the server in Z_QOR_DATA_CHUNK
// callbacks: rows of the record width in DTAB, a fixed number a chunk,
// END_OF_DATA 'X' on the last. One chunk buffer is refilled for the whole
// extraction, so rows cost no allocation. The server may answer a chunk
// with KILLED_BY_QOR, which stops the extraction.
#pragma once

#include <cstdint>
#include <string>

#include "call.h"

namespace r3sim {

// The faults of ZSIM_FAULTS that act on the chunks of one call.
struct ChunkFaults {
  std::string emsg;       // EMSG: this message in chunk emsg_chunk
  int64_t emsg_chunk = 0;
  int64_t delay_ms = 0;   // CHUNK_DELAY: wait before each chunk
  int64_t drop_chunk = 0; // CHUNK_DROP: drop the connection instead of this chunk

  static ChunkFaults take(SqliteDb &db, const std::string &function);
};

class ChunkSender {
 public:
  enum class State { kOpen, kEnded, kKilled, kDropped };

  // block_size: bytes a chunk should hold (0: a default).
  ChunkSender(Call &call, std::string dhandle, std::string table, size_t width,
              int64_t block_size, ChunkFaults faults);

  // A zero-filled row in the chunk being filled, after sending the chunk
  // when it is full; nullptr once the extraction has stopped.
  char *row();
  // Sends what is held as the last chunk (no rows for an empty result).
  void finish() { send(true, ""); }
  // Ends the extraction with one chunk that carries the message instead
  // of the rows held.
  void fail(const std::string &emsg);

  State state() const { return state_; }
  size_t rows_per_chunk() const { return per_chunk_; }

 private:
  // Throws std::runtime_error when the callback fails other than by
  // KILLED_BY_QOR: the module then ends in a runtime error.
  void send(bool last, std::string emsg);
  void log(const std::string &detail_emsg, const std::string &result);

  Call &call_;
  std::string dhandle_;
  std::string table_;
  size_t width_;
  size_t per_chunk_;
  ChunkFaults faults_;
  TableList tables_;
  ITAB_H dtab_;
  size_t held_ = 0;
  int64_t chunks_ = 0;
  int64_t rows_sent_ = 0;
  State state_ = State::kOpen;
};

}  // namespace r3sim

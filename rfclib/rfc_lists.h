// Moves the caller's parameter and table lists to and from frames.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rfc_encoder.h"
#include "rfc_error.h"
#include "rfc_wire.h"
#include "saprfc.h"

namespace rfcl {

class Itab;
using Received = std::vector<std::pair<Itab *, uint64_t>>;

// Adds the parameters and tables to a frame. A table found unchanged in
// `received` (as RfcGetData left it) goes out as a mark, not as rows.
bool encode_params(rfcw::Encoder &e, const RFC_PARAMETER *list, Error &err);
bool encode_tables(rfcw::Encoder &e, const RFC_TABLE *list, const Received *received, Error &err);

// Copies received parameters into the caller's buffers: character types
// blank-padded, others zero-padded; parameters not received stay as they are.
void apply_params(const rfcw::Message &m, RFC_PARAMETER *list);
// Replaces the rows of the caller's tables (creating those without a
// handle); records each filled table in `received` when given. With the
// frame's body given, rows of the table's own width stay in that body
// instead of being copied. False when memory ran out.
bool apply_tables(const rfcw::Message &m, RFC_TABLE *list, Received *received,
                  const std::shared_ptr<char> &body = nullptr);

unsigned long long structure_size(RFC_TYPEHANDLE type);

}  // namespace rfcl

// The aggregate functions a select may apply to a field (SUM, COUNT, MIN,
// MAX, AVG), and what type their result has in the output record: COUNT
// an integer, AVG a float, the others the field's own type.
#pragma once

#include <optional>
#include <string>

#include "abap_field.h"

namespace r3sim {

enum class Aggregate { kNone, kSum, kCount, kMin, kMax, kAvg };

// The aggregate of a name in any case; kNone for an empty name, nothing
// for a name that is no aggregate.
std::optional<Aggregate> aggregate_named(const std::string &name);
// SQL of the aggregate over an argument ("*" or a column).
std::string aggregate_sql(Aggregate a, const std::string &argument, bool distinct);
// The field as the aggregate's result holds it.
AbapField aggregate_result(Aggregate a, const AbapField &field);

}  // namespace r3sim

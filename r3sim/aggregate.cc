#include "aggregate.h"

#include <cctype>

namespace r3sim {

std::optional<Aggregate> aggregate_named(const std::string &name) {
  std::string up;
  for (char c : name) up += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (up.empty()) return Aggregate::kNone;
  if (up == "SUM") return Aggregate::kSum;
  if (up == "COUNT") return Aggregate::kCount;
  if (up == "MIN") return Aggregate::kMin;
  if (up == "MAX") return Aggregate::kMax;
  if (up == "AVG") return Aggregate::kAvg;
  return std::nullopt;
}

std::string aggregate_sql(Aggregate a, const std::string &argument, bool distinct) {
  const char *fn = "";
  switch (a) {
    case Aggregate::kNone: return argument;
    case Aggregate::kSum: fn = "SUM"; break;
    case Aggregate::kCount: fn = "COUNT"; break;
    case Aggregate::kMin: fn = "MIN"; break;
    case Aggregate::kMax: fn = "MAX"; break;
    case Aggregate::kAvg: fn = "AVG"; break;
  }
  return std::string(fn) + "(" + (distinct && argument != "*" ? "DISTINCT " : "") + argument + ")";
}

AbapField aggregate_result(Aggregate a, const AbapField &field) {
  AbapField out = field;
  if (a == Aggregate::kCount) {
    out.type = AbapType::kInt4;
    out.length = 4;
    out.decimals = 0;
  } else if (a == Aggregate::kAvg) {
    out.type = AbapType::kFloat;
    out.length = 8;
    out.decimals = 0;
  }
  return out;
}

}  // namespace r3sim

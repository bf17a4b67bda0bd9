// A value as it comes out of a table: what SQLite stores, or what a
// generated table computes, before it is laid out as ABAP data.
#pragma once

#include <cstdint>
#include <string>

namespace r3sim {

struct Value {
  enum class Kind { kNull, kInt, kReal, kText, kBlob };
  Kind kind = Kind::kNull;
  int64_t i = 0;
  double r = 0;
  std::string s;  // text or bytes

  static Value integer(int64_t v) { Value x; x.kind = Kind::kInt; x.i = v; return x; }
  static Value real(double v) { Value x; x.kind = Kind::kReal; x.r = v; return x; }
  static Value text(std::string v) { Value x; x.kind = Kind::kText; x.s = std::move(v); return x; }
  static Value blob(std::string v) { Value x; x.kind = Kind::kBlob; x.s = std::move(v); return x; }
};

}  // namespace r3sim

#include "generated_table.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "demo_random.h"
#include "row_builder.h"
#include "table_spec.h"

namespace r3sim {

namespace {

std::string module_args(const TableDef &def) {
  std::string args = std::to_string(def.gen_rows);
  for (const auto &f : def.fields) {
    char b[128];
    std::snprintf(b, sizeof b, ", '%s:%c:%u:%u'", f.name.c_str(), static_cast<char>(f.type),
                  f.length, f.decimals);
    args += b;
  }
  return args;
}

}  // namespace

void GeneratedTable::attach(SqliteDb &db, const TableDef &def) {
  // Registering twice on a connection is harmless; the first stays.
  sqlite3_create_module(db.raw(), "zsim_generated", &generated_table_module(), nullptr);
  std::string args = module_args(def);
  Stmt s = db.prepare("SELECT sql FROM temp.sqlite_master WHERE name = ?");
  s.bind(1, def.name);
  std::string want = "CREATE VIRTUAL TABLE " + quote_ident(def.name) +
                     " USING zsim_generated(" + args + ")";
  if (s.step()) {
    if (s.text(0) == want) return;
    db.exec("DROP TABLE temp." + quote_ident(def.name));
  }
  db.exec("CREATE VIRTUAL TABLE temp." + quote_ident(def.name) + " USING zsim_generated(" +
          args + ")");
}

Value GeneratedTable::value(const AbapField &f, int64_t rowno) {
  switch (f.type) {
    case AbapType::kNumc: {
      std::string d(f.length, '0');
      numc_text(rowno, f.length, d.data());
      return Value::text(d);
    }
    case AbapType::kDate: return Value::text(date_text(date_days(2000, 1, 1) + rowno % 10000));
    case AbapType::kTime: {
      char b[16];
      int64_t s = rowno % 86400;
      std::snprintf(b, sizeof b, "%02d%02d%02d", static_cast<int>(s / 3600),
                    static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
      return Value::text(b);
    }
    case AbapType::kRaw: {
      std::string bytes(f.length, '\0');
      for (unsigned i = 0; i < f.length; ++i) bytes[i] = static_cast<char>((rowno >> (8 * (i % 8))) & 0xFF);
      return Value::blob(bytes);
    }
    case AbapType::kInt4: return Value::integer(static_cast<int32_t>(rowno));
    case AbapType::kInt2: return Value::integer(rowno % 32768);
    case AbapType::kInt1: return Value::integer(rowno % 256);
    case AbapType::kFloat: return Value::real(static_cast<double>(rowno) / 4.0);
    case AbapType::kPacked: return Value::real(static_cast<double>(rowno % 100000000) * 1.25);
    case AbapType::kChar: break;
  }
  Value v;
  value_into(f, rowno, v);
  return v;
}

const char *GeneratedTable::pattern(int64_t rowno) {
  static const std::string text = [] {
    std::string p;
    for (size_t i = 0; i < kPatternLength + kPatternPeriod; ++i)
      p += static_cast<char>('A' + (i * 7 + i / 26) % 26);
    return p;
  }();
  return text.data() + rowno % kPatternPeriod;
}

void GeneratedTable::put_binary(const AbapField &f, int64_t rowno, char *dst) {
  if (f.type == AbapType::kChar && f.length <= kPatternLength) {
    std::memcpy(dst, pattern(rowno), f.length);
  } else if (f.type == AbapType::kNumc) {
    numc_text(rowno, f.length, dst);
  } else {
    RowBuilder::put_binary(f, value(f, rowno), dst);
  }
}

// Zero-padded like stored NUMC values, so text comparisons order rows.
void GeneratedTable::numc_text(int64_t rowno, unsigned length, char *out) {
  uint64_t v = rowno < 0 ? 0 - static_cast<uint64_t>(rowno) : static_cast<uint64_t>(rowno);
  for (unsigned i = length; i > 0; --i) {
    out[i - 1] = static_cast<char>('0' + v % 10);
    v /= 10;
  }
}

void GeneratedTable::value_into(const AbapField &f, int64_t rowno, Value &out) {
  if (f.type != AbapType::kChar) {
    out = value(f, rowno);
    return;
  }
  out.kind = Value::Kind::kText;
  if (f.length <= kPatternLength) {
    out.s.assign(pattern(rowno), f.length);
    return;
  }
  size_t at = static_cast<size_t>(rowno % kPatternPeriod);
  out.s.resize(f.length);
  for (size_t i = 0; i < f.length; ++i)
    out.s[i] = static_cast<char>('A' + ((at + i) * 7 + (at + i) / 26) % 26);
}

}  // namespace r3sim

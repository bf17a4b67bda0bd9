// The SQLite side of generated tables: a virtual table module whose rows
// are computed from the row number. Ranges on the first field (the row
// number) and LIMIT/OFFSET are handed to it, so a page deep in a huge
// table costs the page only.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "generated_table.h"
#include "table_spec.h"

namespace r3sim {

namespace {

struct GenTab {
  sqlite3_vtab base{};
  int64_t rows = 0;
  std::vector<AbapField> fields;
};

struct GenCursor {
  sqlite3_vtab_cursor base{};
  int64_t row = 0;
  int64_t last = 0;
};

enum : int { kLow = 1, kHigh = 2, kLimit = 4, kOffset = 8 };

int connect(sqlite3 *db, void *, int argc, const char *const *argv, sqlite3_vtab **out,
            char **err) {
  // argv[3] = row count; argv[4..] = NAME:TYPE:LENGTH:DECIMALS.
  if (argc < 5) {
    *err = sqlite3_mprintf("generated table needs a row count and fields");
    return SQLITE_ERROR;
  }
  auto *t = new GenTab;
  t->rows = std::strtoll(argv[3], nullptr, 10);
  std::string decl = "CREATE TABLE x(";
  for (int i = 4; i < argc; ++i) {
    char name[64];
    char type = 0;
    unsigned len = 0, dec = 0;
    const char *spec = argv[i][0] == '\'' ? argv[i] + 1 : argv[i];
    if (std::sscanf(spec, "%63[^:]:%c:%u:%u", name, &type, &len, &dec) != 4 ||
        !is_abap_type(type)) {
      delete t;
      *err = sqlite3_mprintf("bad field %s", argv[i]);
      return SQLITE_ERROR;
    }
    AbapField f;
    f.name = name;
    f.type = static_cast<AbapType>(type);
    f.length = len;
    f.decimals = dec;
    t->fields.push_back(f);
    decl += (i > 4 ? ", " : "") + quote_ident(name) + " " + sqlite_type(type);
  }
  decl += ")";
  int rc = sqlite3_declare_vtab(db, decl.c_str());
  if (rc != SQLITE_OK) {
    delete t;
    return rc;
  }
  *out = &t->base;
  return SQLITE_OK;
}

int disconnect(sqlite3_vtab *v) {
  delete reinterpret_cast<GenTab *>(v);
  return SQLITE_OK;
}

int best_index(sqlite3_vtab *v, sqlite3_index_info *info) {
  auto *t = reinterpret_cast<GenTab *>(v);
  int plan = 0, arg = 0;
  bool all_usable = true;
  for (int i = 0; i < info->nConstraint; ++i)
    if (!info->aConstraint[i].usable) all_usable = false;
  // Fixed argument order in xFilter: low, high, limit, offset.
  int slot[4] = {-1, -1, -1, -1};
  for (int i = 0; i < info->nConstraint; ++i) {
    const auto &c = info->aConstraint[i];
    if (!c.usable) continue;
    bool on_rowno = c.iColumn == 0 || c.iColumn == -1;
    if (on_rowno && (c.op == SQLITE_INDEX_CONSTRAINT_GE || c.op == SQLITE_INDEX_CONSTRAINT_GT ||
                     c.op == SQLITE_INDEX_CONSTRAINT_EQ) && slot[0] < 0 &&
        (t->fields[0].type == AbapType::kNumc || c.iColumn == -1))
      slot[0] = i;
    else if (on_rowno && (c.op == SQLITE_INDEX_CONSTRAINT_LE || c.op == SQLITE_INDEX_CONSTRAINT_LT ||
                          c.op == SQLITE_INDEX_CONSTRAINT_EQ) && slot[1] < 0 &&
             (t->fields[0].type == AbapType::kNumc || c.iColumn == -1))
      slot[1] = i;
    else if (c.op == SQLITE_INDEX_CONSTRAINT_LIMIT && all_usable)
      slot[2] = i;
    else if (c.op == SQLITE_INDEX_CONSTRAINT_OFFSET && all_usable)
      slot[3] = i;
  }
  std::string ops;
  for (int s = 0; s < 4; ++s) {
    if (slot[s] < 0) continue;
    plan |= 1 << s;
    info->aConstraintUsage[slot[s]].argvIndex = ++arg;
    // The row number bounds are checked again by SQLite; the offset is
    // applied here only, so SQLite must not skip rows a second time.
    info->aConstraintUsage[slot[s]].omit = s == 3;
    ops += static_cast<char>(info->aConstraint[slot[s]].op);
  }
  info->idxNum = plan;
  info->idxStr = sqlite3_mprintf("%s", ops.c_str());
  info->needToFreeIdxStr = 1;
  info->estimatedRows = plan & (kLow | kHigh) ? 1000 : t->rows;
  info->estimatedCost = static_cast<double>(info->estimatedRows);
  if (info->nOrderBy == 1 && info->aOrderBy[0].iColumn <= 0 && !info->aOrderBy[0].desc &&
      (info->aOrderBy[0].iColumn == -1 || t->fields[0].type == AbapType::kNumc))
    info->orderByConsumed = 1;
  return SQLITE_OK;
}

int open(sqlite3_vtab *, sqlite3_vtab_cursor **out) {
  auto *c = new GenCursor;
  *out = &c->base;
  return SQLITE_OK;
}

int close(sqlite3_vtab_cursor *c) {
  delete reinterpret_cast<GenCursor *>(c);
  return SQLITE_OK;
}

int64_t as_rowno(sqlite3_value *v) {
  if (sqlite3_value_type(v) == SQLITE_TEXT)
    return std::strtoll(reinterpret_cast<const char *>(sqlite3_value_text(v)), nullptr, 10);
  return sqlite3_value_int64(v);
}

int filter(sqlite3_vtab_cursor *cur, int plan, const char *ops, int, sqlite3_value **argv) {
  auto *c = reinterpret_cast<GenCursor *>(cur);
  auto *t = reinterpret_cast<GenTab *>(cur->pVtab);
  int64_t low = 1, high = t->rows, limit = -1, offset = 0;
  int arg = 0;
  if (plan & kLow) {
    int64_t x = as_rowno(argv[arg]);
    low = ops[arg] == SQLITE_INDEX_CONSTRAINT_GT ? x + 1 : x;
    ++arg;
  }
  if (plan & kHigh) {
    int64_t x = as_rowno(argv[arg]);
    high = std::min(high, ops[arg] == SQLITE_INDEX_CONSTRAINT_LT ? x - 1 : x);
    ++arg;
  }
  if (plan & kLimit) limit = sqlite3_value_int64(argv[arg++]);
  if (plan & kOffset) offset = sqlite3_value_int64(argv[arg++]);
  if (low < 1) low = 1;
  c->row = low + (offset > 0 ? offset : 0);
  c->last = high;
  if (limit >= 0 && c->row + limit - 1 < c->last) c->last = c->row + limit - 1;
  return SQLITE_OK;
}

int next(sqlite3_vtab_cursor *cur) {
  ++reinterpret_cast<GenCursor *>(cur)->row;
  return SQLITE_OK;
}

int eof(sqlite3_vtab_cursor *cur) {
  auto *c = reinterpret_cast<GenCursor *>(cur);
  return c->row > c->last;
}

int column(sqlite3_vtab_cursor *cur, sqlite3_context *ctx, int i) {
  auto *c = reinterpret_cast<GenCursor *>(cur);
  auto *t = reinterpret_cast<GenTab *>(cur->pVtab);
  const AbapField &f = t->fields[static_cast<size_t>(i)];
  if (f.type == AbapType::kChar && f.length <= GeneratedTable::kPatternLength) {
    // The hot path of big tables: a window on the pattern, no copy.
    sqlite3_result_text(ctx, GeneratedTable::pattern(c->row), static_cast<int>(f.length),
                        SQLITE_STATIC);
    return SQLITE_OK;
  }
  if (f.type == AbapType::kNumc && f.length <= 64) {
    char digits[64];
    GeneratedTable::numc_text(c->row, f.length, digits);
    sqlite3_result_text(ctx, digits, static_cast<int>(f.length), SQLITE_TRANSIENT);
    return SQLITE_OK;
  }
  Value v = GeneratedTable::value(f, c->row);
  switch (v.kind) {
    case Value::Kind::kInt: sqlite3_result_int64(ctx, v.i); break;
    case Value::Kind::kReal: sqlite3_result_double(ctx, v.r); break;
    case Value::Kind::kBlob:
      sqlite3_result_blob(ctx, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT);
      break;
    default:
      sqlite3_result_text(ctx, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT);
  }
  return SQLITE_OK;
}

int rowid(sqlite3_vtab_cursor *cur, sqlite3_int64 *out) {
  *out = reinterpret_cast<GenCursor *>(cur)->row;
  return SQLITE_OK;
}

}  // namespace

const sqlite3_module &generated_table_module() {
  static const sqlite3_module module = [] {
  sqlite3_module m{};
  m.xCreate = connect;
  m.xConnect = connect;
  m.xBestIndex = best_index;
  m.xDisconnect = disconnect;
  m.xDestroy = disconnect;
  m.xOpen = open;
  m.xClose = close;
  m.xFilter = filter;
  m.xNext = next;
  m.xEof = eof;
  m.xColumn = column;
  m.xRowid = rowid;
  return m;
  }();
  return module;
}



}  // namespace r3sim

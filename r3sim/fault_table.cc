#include "fault_table.h"

namespace r3sim {

std::optional<Fault> FaultTable::take(SqliteDb &db, const std::string &function,
                                      const std::string &kind) {
  Stmt s = db.prepare(
      "SELECT rowid, IFNULL(ARG, ''), IFNULL(NTH, 0), TIMES FROM ZSIM_FAULTS "
      "WHERE FAULT = ? AND (FUNCNAME = ? OR FUNCNAME = '*') "
      "AND (TIMES IS NULL OR TIMES > 0) ORDER BY rowid LIMIT 1");
  s.bind(1, kind).bind(2, function);
  if (!s.step()) return std::nullopt;
  Fault f{kind, s.text(1), s.integer(2)};
  const bool counted = sqlite3_column_type(s.raw(), 3) != SQLITE_NULL;
  const int64_t id = s.integer(0);
  // The read must end before the write: a write inside a read transaction
  // fails at once (instead of waiting) when another session has committed
  // since the read began.
  s.reset();
  if (counted) {
    // Another session may have used the last count in the meantime.
    Stmt u = db.prepare("UPDATE ZSIM_FAULTS SET TIMES = TIMES - 1 WHERE rowid = ? AND TIMES > 0");
    u.bind(1, id).step();
    if (sqlite3_changes(db.raw()) == 0) return std::nullopt;
    Stmt d = db.prepare("DELETE FROM ZSIM_FAULTS WHERE rowid = ? AND TIMES <= 0");
    d.bind(1, id).step();
  }
  return f;
}

}  // namespace r3sim

#include "system_config.h"

namespace r3sim {

std::string SystemConfig::get(SqliteDb &db, const std::string &name, const std::string &fallback) {
  Stmt s = db.prepare("SELECT VALUE FROM ZSIM_CONFIG WHERE NAME = ?");
  s.bind(1, name);
  return s.step() ? s.text(0) : fallback;
}

void SystemConfig::set(SqliteDb &db, const std::string &name, const std::string &value) {
  Stmt s = db.prepare("INSERT OR REPLACE INTO ZSIM_CONFIG (NAME, VALUE) VALUES (?, ?)");
  s.bind(1, name).bind(2, value).step();
}

}  // namespace r3sim

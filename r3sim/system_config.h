// The system's settings (ZSIM_CONFIG), read when they are needed, so a
// change with plain SQL shows in the next call.
#pragma once

#include <string>

#include "sqlite_db.h"

namespace r3sim {

class SystemConfig {
 public:
  static std::string get(SqliteDb &db, const std::string &name, const std::string &fallback = "");
  static void set(SqliteDb &db, const std::string &name, const std::string &value);
};

}  // namespace r3sim

// The simulator's own tables: the data dictionary, clients and users,
// report variants and RFC destinations, the background job log, the
// configuration and the fault settings. All are in the dictionary too, so
// RFC_READ_TABLE reads them like any other table.
#pragma once

#include <string>

#include "sqlite_db.h"

namespace r3sim {

struct SystemSeed {
  std::string sysid = "QR1";
  std::string host;  // system host name reported to clients
  std::string sysnr = "00";
};

// Creates the system tables in an empty database and fills them with the
// demo logon data and default configuration.
void create_system_tables(SqliteDb &db, const SystemSeed &seed);

// The demo batch set-up under a namespace: report variants and their RFC
// destinations. Rows already there are kept, so tests may change them.
void ensure_batch_setup(SqliteDb &db, const std::string &ns);

}  // namespace r3sim

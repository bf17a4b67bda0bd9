// The demo data: the flight data model (SCARR, SPFLI, SFLIGHT, SCUSTOM,
// SBOOK), a small material master (MARA, MAKT) and a generated table,
// all computed by a seeded generator, so every database is the same.
#pragma once

#include <cstdint>

#include "sqlite_db.h"

namespace r3sim {

struct DemoSize {
  int64_t bookings = 100000;
  int64_t customers = 4000;
  int64_t materials = 500;
};

void seed_demo_data(SqliteDb &db, const DemoSize &size);

// Parts of the above, one per data model.
void seed_flight_data(SqliteDb &db, const DemoSize &size);
void seed_material_data(SqliteDb &db, const DemoSize &size);

}  // namespace r3sim

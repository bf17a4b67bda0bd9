#include "demo_data.h"

#include <cstdio>

#include "demo_random.h"
#include "table_spec.h"

namespace r3sim {

std::string date_text(int64_t days) {
  // Civil date from a day count (Howard Hinnant's algorithm).
  days += 719468;
  int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  int64_t doe = days - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t d = doy - (153 * mp + 2) / 5 + 1;
  int64_t m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
  char b[16];
  std::snprintf(b, sizeof b, "%04d%02d%02d", static_cast<int>(y), static_cast<int>(m),
                static_cast<int>(d));
  return b;
}

int64_t date_days(int year, int month, int day) {
  int64_t y = month <= 2 ? year - 1 : year;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void seed_demo_data(SqliteDb &db, const DemoSize &size) {
  Transaction tx(db);
  seed_flight_data(db, size);
  seed_material_data(db, size);
  // A generated table for quick trials; benchmarks declare their own.
  db.exec(
      "INSERT INTO DD02L (TABNAME, TABCLASS, GENROWS, GENWIDTH, CCLASS, DDTEXT) "
      "VALUES ('ZSIM_GEN', 'GENER', 1000000, 100, '', 'Generated rows')");
  tx.commit();
}

}  // namespace r3sim

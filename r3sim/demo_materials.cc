// A small material master: MARA with its weights, shelf life, density and
// GUID (the types the flight model lacks: s, F, X), and its texts in MAKT.
#include <cctype>
#include <cstdio>
#include <string>

#include "demo_data.h"
#include "demo_random.h"
#include "table_spec.h"

namespace r3sim {

namespace {

const TableSpec kMara{"MARA", "TRANSP", "General material data", {
    {"MANDT", 'C', 3, 0, true, "Client"},
    {"MATNR", 'C', 18, 0, true, "Material number"},
    {"ERSDA", 'D', 8, 0, false, "Created on"},
    {"ERNAM", 'C', 12, 0, false, "Created by"},
    {"LAEDA", 'D', 8, 0, false, "Date of last change"},
    {"MTART", 'C', 4, 0, false, "Material type"},
    {"MATKL", 'C', 9, 0, false, "Material group"},
    {"MEINS", 'C', 3, 0, false, "Base unit of measure"},
    {"BRGEW", 'P', 7, 3, false, "Gross weight"},
    {"NTGEW", 'P', 7, 3, false, "Net weight"},
    {"GEWEI", 'C', 3, 0, false, "Weight unit"},
    {"MHDHB", 's', 2, 0, false, "Total shelf life in days"},
    {"DENSITY", 'F', 8, 0, false, "Density in kg per litre"},
    {"MATGUID", 'X', 16, 0, false, "Material GUID"},
    {"CRTIME", 'T', 6, 0, false, "Time created"}}};

const TableSpec kMakt{"MAKT", "TRANSP", "Material descriptions", {
    {"MANDT", 'C', 3, 0, true, "Client"},
    {"MATNR", 'C', 18, 0, true, "Material number"},
    {"SPRAS", 'C', 1, 0, true, "Language key"},
    {"MAKTX", 'C', 40, 0, false, "Material description"},
    {"MAKTG", 'C', 40, 0, false, "Description in upper case"}}};

struct Kind { const char *type, *group, *unit, *noun_en, *noun_de; };
const Kind kKinds[] = {
    {"ROH", "001", "KG", "Steel sheet", "Stahlblech"},
    {"ROH", "002", "L", "Coolant", "Kuehlmittel"},
    {"HALB", "010", "ST", "Gear housing", "Getriebegehaeuse"},
    {"FERT", "020", "ST", "Pump", "Pumpe"},
    {"FERT", "021", "ST", "Valve", "Ventil"},
    {"HAWA", "030", "PAK", "Bolt set", "Schraubensatz"},
    {"VERP", "040", "ST", "Pallet", "Palette"}};
const char *kSizes[] = {"small", "medium", "large", "heavy duty", "compact"};
const char *kSizesDe[] = {"klein", "mittel", "gross", "schwer", "kompakt"};
const char *kUsers[] = {"DEMO", "MMUELLER", "JSMITH", "BATCHUSER"};

std::string upper(std::string s) {
  for (auto &c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

void seed_material_data(SqliteDb &db, const DemoSize &size) {
  DemoRandom rnd(815);
  define_table(db, kMara);
  define_table(db, kMakt);
  TableWriter mara(db, kMara), makt(db, kMakt);
  const Value mandt = Value::text("800");
  const int64_t first_day = date_days(2019, 3, 1);
  for (int64_t n = 1; n <= size.materials; ++n) {
    const Kind &k = rnd.pick(kKinds);
    size_t sz = rnd.next() % 5;
    char matnr[24], crtime[16];
    std::snprintf(matnr, sizeof matnr, "%018lld", static_cast<long long>(100000 + n));
    std::snprintf(crtime, sizeof crtime, "%02d%02d%02d", static_cast<int>(rnd.range(7, 18)),
                  static_cast<int>(rnd.range(0, 59)), static_cast<int>(rnd.range(0, 59)));
    int64_t created = first_day + rnd.range(0, 2000);
    int64_t gross = rnd.range(50, 250000);  // grams
    std::string guid(16, '\0');
    for (auto &b : guid) b = static_cast<char>(rnd.next() & 0xFF);
    mara.insert({mandt, Value::text(matnr), Value::text(date_text(created)),
                 Value::text(rnd.pick(kUsers)), Value::text(date_text(created + rnd.range(0, 300))),
                 Value::text(k.type), Value::text(k.group), Value::text(k.unit),
                 Value::real(static_cast<double>(gross) / 1000.0),
                 Value::real(static_cast<double>(gross * 9 / 10) / 1000.0), Value::text("KG"),
                 Value::integer(k.type[0] == 'R' ? rnd.range(30, 720) : 0),
                 Value::real(0.5 + static_cast<double>(rnd.range(0, 7000)) / 1000.0),
                 Value::blob(guid), Value::text(crtime)});
    std::string en = std::string(k.noun_en) + ", " + kSizes[sz] + " " + std::to_string(n);
    std::string de = std::string(k.noun_de) + ", " + kSizesDe[sz] + " " + std::to_string(n);
    makt.insert({mandt, Value::text(matnr), Value::text("E"), Value::text(en), Value::text(upper(en))});
    makt.insert({mandt, Value::text(matnr), Value::text("D"), Value::text(de), Value::text(upper(de))});
  }
}

}  // namespace r3sim

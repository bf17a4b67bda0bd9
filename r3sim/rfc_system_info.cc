// RFC_SYSTEM_INFO: the system's identity in the RFCSI layout, laid out from
// the dictionary's RFCSI structure by the row builder.
#include "system_info.h"

#include <cstdio>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "dictionary.h"
#include "module_registry.h"
#include "row_builder.h"
#include "simulator.h"
#include "system_config.h"

namespace r3sim {

namespace {

bool little_endian() {
  const uint16_t one = 1;
  return *reinterpret_cast<const uint8_t *>(&one) == 1;
}

std::string right(const std::string &s, size_t width) {
  return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

}  // namespace

std::string rfcsi_export(Call &call) {
  SqliteDb &db = call.db();
  auto rfcsi = Dictionary::find(db, "RFCSI");
  if (!rfcsi) throw std::runtime_error("Structure RFCSI is missing from the dictionary");
  std::string host = SystemConfig::get(db, "HOST", "r3host");
  std::string sysid = SystemConfig::get(db, "SYSID", "QR1");
  const std::string &nr = call.sim().options().sysnr;
  std::map<std::string, std::string> v = {
      {"RFCPROTO", "011"},
      {"RFCCHARTYP", "1100"},
      {"RFCINTTYP", little_endian() ? "LIT" : "BIG"},
      {"RFCFLOTYP", "IE3"},
      {"RFCDEST", host + "_" + sysid + "_" + nr},
      {"RFCHOST", host},
      {"RFCSYSID", sysid},
      {"RFCDATABS", sysid},
      {"RFCDBHOST", host},
      {"RFCDBSYS", SystemConfig::get(db, "DBSYS", "SQLITE")},
      {"RFCSAPRL", SystemConfig::get(db, "RELEASE", "46C")},
      {"RFCMACH", right(SystemConfig::get(db, "MACHINE", "324"), 5)},
      {"RFCOPSYS", SystemConfig::get(db, "OPSYS", "Linux")},
      {"RFCTZONE", right(SystemConfig::get(db, "TZONE", "0"), 6)},
      {"RFCDAYST", SystemConfig::get(db, "DAYST", "")},
      {"RFCIPADDR", call.sim().options().host},
      {"RFCKERNRL", SystemConfig::get(db, "KERNEL_RELEASE", "46D")},
      {"RFCHOST2", host},
  };
  RowLayout layout(rfcsi->fields);
  std::vector<Value> values;
  for (const auto &f : layout.fields()) values.push_back(Value::text(v[f.name]));
  std::string out(layout.width(), ' ');
  RowBuilder::build_row(layout, values, out.data());
  return out;
}

namespace {

void rfc_system_info(Call &call) {
  ParamList none;
  call.get(none);
  std::string out = rfcsi_export(call);
  int32_t current = 1, maximal = 10, delay = 0;
  ParamList exporting;
  exporting.add("RFCSI_EXPORT", out.data(), static_cast<unsigned>(out.size()))
      .add("CURRENT_RESOURCES", &current, 4, RFCTYPE_INT)
      .add("MAXIMAL_RESOURCES", &maximal, 4, RFCTYPE_INT)
      .add("RECOMMENDED_DELAY", &delay, 4, RFCTYPE_INT);
  call.send(exporting);
}

}  // namespace

void add_rfc_system_info(ModuleRegistry &registry) {
  registry.add_module("RFC_SYSTEM_INFO", rfc_system_info);
}

}  // namespace r3sim

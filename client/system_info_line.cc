#include "system_info_line.h"

#include "row_writer.h"

namespace qorclient {

namespace {

std::string trimmed(const std::string &s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

// A field of R/3's system information at its fixed place; the line lost
// the structure's trailing blanks, so a field may be short or missing.
std::string at(const std::string &sysinfo, size_t offset, size_t width) {
  if (offset >= sysinfo.size()) return "";
  std::string v = sysinfo.substr(offset, width);
  // A NUL ends a field early, as the server reads such fields.
  v = v.substr(0, v.find('\0'));
  return trimmed(v);
}

std::string join(const std::vector<std::string> &parts, size_t from, size_t to) {
  std::string out;
  for (size_t i = from; i < to; ++i) out += (i > from ? "," : "") + parts[i];
  return out;
}

std::string meaning(const std::string &value, const char *code1, const char *text1,
                    const char *code2, const char *text2) {
  if (value == code1) return std::string(text1) + " (" + value + ")";
  if (value == code2) return std::string(text2) + " (" + value + ")";
  return value;
}

}  // namespace

bool SystemInfoLine::parse(const std::string &line) {
  fields_.clear();
  std::vector<std::string> parts;
  size_t start = 0, comma;
  while ((comma = line.find(',', start)) != std::string::npos) {
    parts.push_back(line.substr(start, comma - start));
    start = comma + 1;
  }
  parts.push_back(line.substr(start));
  // The trailer: byte order, float format, platform, namespace, 1, the
  // partner's character size, and the final comma. R/3's fields come
  // before it and may hold commas themselves.
  const size_t n = parts.size();
  if (n < 8 || !parts.back().empty()) return false;
  std::string head = join(parts, 0, n - 7);
  // The code page (four digits) is glued to the system information.
  if (head.size() < 4) return false;
  std::string sysinfo = head.substr(0, head.size() - 4), codepage = head.substr(head.size() - 4);

  std::string zone = at(sysinfo, 130, 6);
  std::string zone_shown = zone.empty() ? "" : zone + " seconds from UTC";
  if (at(sysinfo, 136, 1) == "X") zone_shown += ", daylight saving time";
  const std::string &order = parts[n - 7], &platform = parts[n - 5];
  fields_ = {
      {"system id", "system_id", at(sysinfo, 53, 8), ""},
      {"host", "host", at(sysinfo, 45, 8), ""},
      {"database system", "database_system", at(sysinfo, 101, 10), ""},
      {"release", "release", at(sysinfo, 111, 4), ""},
      {"kernel release", "kernel_release", at(sysinfo, 152, 4), ""},
      {"code page", "code_page", codepage, ""},
      {"operating system", "operating_system", at(sysinfo, 120, 10), ""},
      {"time zone", "time_zone", zone, zone_shown},
      {"IP address", "ip_address", at(sysinfo, 137, 15), ""},
      {"byte order", "byte_order", order, meaning(order, "LIT", "little-endian", "BIG", "big-endian")},
      {"float format", "float_format", parts[n - 6], ""},
      {"server platform", "server_platform", platform, meaning(platform, "N", "Unix", "W", "Windows")},
      {"program prefix", "program_prefix", parts[n - 4], ""},
      {"character size", "character_size", parts[n - 2], ""},
  };
  for (auto &f : fields_)
    if (f.shown.empty()) f.shown = f.value;
  return true;
}

std::string SystemInfoLine::labelled() const {
  std::string out;
  for (const auto &f : fields_) out += f.label + std::string(18 - f.label.size(), ' ') + f.shown + "\n";
  return out;
}

std::string SystemInfoLine::json() const {
  std::string out = "{";
  for (const auto &f : fields_)
    out += (out.size() > 1 ? "," : "") + json_string(f.key) + ":" + json_string(f.value);
  return out + "}";
}

}  // namespace qorclient

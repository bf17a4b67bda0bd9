// rfcinfo 'CONNECT STRING': logs on, calls RFC_SYSTEM_INFO and prints the
// fields of RFCSI_EXPORT one per line; on failure prints the RFC error and
// exits 1. An administrator's first check that a system answers.
// rfcinfo --version prints the version.
#include <cstdio>
#include <cstring>
#include <string>

#include "saprfc.h"

namespace {

struct Field {
  const char *name;
  unsigned offset, width;
};

const Field kFields[] = {
    {"RFCPROTO", 0, 3},    {"RFCCHARTYP", 3, 4}, {"RFCINTTYP", 7, 3},  {"RFCFLOTYP", 10, 3},
    {"RFCDEST", 13, 32},   {"RFCHOST", 45, 8},   {"RFCSYSID", 53, 8},  {"RFCDATABS", 61, 8},
    {"RFCDBHOST", 69, 32}, {"RFCDBSYS", 101, 10}, {"RFCSAPRL", 111, 4}, {"RFCMACH", 115, 5},
    {"RFCOPSYS", 120, 10}, {"RFCTZONE", 130, 6}, {"RFCDAYST", 136, 1}, {"RFCIPADDR", 137, 15},
    {"RFCKERNRL", 152, 4}, {"RFCHOST2", 156, 32}, {"RFCSI_RESV", 188, 12},
};

int report(const RFC_ERROR_INFO_EX &e) {
  std::printf("Error Group: %d\nKey        : %s\n", static_cast<int>(e.group), e.key);
  std::string m = e.message;
  size_t start = 0;
  while (start <= m.size()) {
    size_t end = m.find('\n', start);
    if (end == std::string::npos) end = m.size();
    if (end > start) std::printf("Message    : %s\n", m.substr(start, end - start).c_str());
    start = end + 1;
  }
  return 1;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("rfcinfo %s\n", QORRFC_VERSION);
    return 0;
  }
  if (argc != 2) {
    std::fprintf(stderr,
                 "usage: rfcinfo 'ASHOST=host SYSNR=00 CLIENT=000 USER=u PASSWD=p ...'\n"
                 "       rfcinfo --version\n");
    return 2;
  }
  RfcInit();
  RFC_ERROR_INFO_EX err{};
  RFC_HANDLE h = RfcOpenEx(argv[1], &err);
  if (h == RFC_HANDLE_NULL) return report(err);
  char rfcsi[200];
  std::memset(rfcsi, ' ', sizeof rfcsi);
  RFC_PARAMETER imp[] = {{const_cast<char *>("RFCSI_EXPORT"), 12, RFCTYPE_CHAR, sizeof rfcsi, rfcsi},
                         {nullptr, 0, 0, 0, nullptr}};
  char *exception = nullptr;
  RFC_RC rc = RfcCallReceive(h, const_cast<char *>("RFC_SYSTEM_INFO"), nullptr, imp, nullptr, &exception);
  if (rc != RFC_OK) {
    if (rc == RFC_EXCEPTION) {
      std::printf("Exception  : %s\n", exception ? exception : "");
      RfcClose(h);
      return 1;
    }
    RfcLastErrorEx(&err);
    RfcClose(h);
    return report(err);
  }
  for (const Field &f : kFields) {
    std::string v(rfcsi + f.offset, f.width);
    v.erase(v.find_last_not_of(' ') + 1);
    std::printf("%s %s\n", f.name, v.c_str());
  }
  RfcClose(h);
  return 0;
}

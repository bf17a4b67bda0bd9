// The library's wire format: frame header, message kinds, limits, and the
// decoder that turns a received frame body into a message whose fields
// point into that body. Every length, count and name is checked here,
// before anything else looks at it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rfcw {

constexpr uint8_t kVersion = 1;
constexpr size_t kHeaderSize = 8;
constexpr uint32_t kMaxBody = 256u << 20;      // one frame body
constexpr size_t kMaxName = 30;                // functions, parameters, tables
constexpr size_t kMaxWord = 64;                // exception names, program ids
constexpr size_t kMaxText = 1024;              // one text field
constexpr uint16_t kMaxTexts = 16;
constexpr uint16_t kMaxNums = 16;
constexpr uint32_t kMaxParams = 4096;
constexpr uint32_t kMaxTables = 1024;
constexpr uint32_t kMaxRowWidth = 1u << 20;
constexpr size_t kRowAlign = 8;  // rows of a table start at this body offset multiple

enum class Kind : uint8_t {
  Logon = 1,       // client -> partner: texts client,user,passwd,lang,progname
  LogonOk = 2,     // texts sysid,systnr,host,codepage,pcs,release,kernel
  Error = 3,       // num group; texts key,message; the sender then closes
  Call = 4,        // name function; params; tables
  Reply = 5,       // params; tables
  Exception = 6,   // name exception; tables
  SysFailure = 7,  // as Error, answers a call; the session is then broken
  Close = 8,       // orderly end of a session
  Register = 9,    // program -> gateway: name progid
  RegisterOk = 10,
  Ready = 11,      // registered program waits for calls
  ConvEnd = 12,    // gateway -> program: the caller's conversation ended
  CountQuery = 13, // name progid
  Counts = 14,     // nums ninit,nready,nbusy
  MsQuery = 15,    // texts r3name,group
  MsAnswer = 16,   // texts host; nums port
};
constexpr uint8_t kMaxKind = 16;

const char *kind_name(Kind k);

// Names are printable, without blanks or control bytes.
bool valid_name(std::string_view s);

struct Header {
  uint8_t version = 0;
  Kind kind = Kind::Close;
  uint32_t body_size = 0;
};

// Checks magic, kind and size; version is left to the caller, which must
// answer another version with a clear refusal.
bool parse_header(const uint8_t *bytes, Header &h, std::string &why);
void write_header(uint8_t *out, Kind kind, uint32_t body_size);

struct Param {
  std::string_view name;
  uint32_t type = 0;
  const char *data = nullptr;
  uint32_t len = 0;
};

struct Table {
  std::string_view name;
  uint32_t type = 0;
  uint32_t leng = 0;
  uint32_t rows = 0;
  bool unchanged = false;  // the receiver keeps its own copy of the rows
  const char *data = nullptr;
};

struct Message {
  Kind kind = Kind::Close;
  std::string_view name;
  std::vector<std::string_view> texts;
  std::vector<uint32_t> nums;
  std::vector<Param> params;
  std::vector<Table> tables;

  std::string_view text(size_t i) const { return i < texts.size() ? texts[i] : std::string_view(); }
  uint32_t num(size_t i) const { return i < nums.size() ? nums[i] : 0; }
};

// Decodes a frame body; false with a reason when any field is out of
// bounds. The message points into body, which must outlive it.
bool decode(Kind kind, const char *body, size_t size, Message &out, std::string &why);

}  // namespace rfcw

#include "request_parameters.h"

#include <cstring>
#include <stdexcept>
#include "sapitab.h"

namespace r3sim {

namespace {

const char kCallback[] = "Z_QOR_GET_REQUEST_PARAMETERS";
const unsigned kLineWidth = 72;

// A blank-filled receiving buffer for one importing parameter.
struct Field {
  const char *name;
  std::string *target;
  std::vector<char> buf;
};

std::vector<std::string> lines_of(ITAB_H table) {
  std::vector<std::string> lines;
  unsigned rows = table ? ItFill(table) : 0;
  for (unsigned i = 1; i <= rows; ++i) {
    const char *row = static_cast<const char *>(ItGetLine(table, i));
    if (row) lines.push_back(trimmed(row, kLineWidth));
  }
  return lines;
}

}  // namespace

RequestParameters::Flow RequestParameters::flow() const {
  if (func_flag == "I") return Flow::kConnect;
  if (!func_name.empty()) return Flow::kFunction;
  return Flow::kSelect;
}

NamedValues RequestParameters::values() const {
  NamedValues v{{"FUNC_FLAG", func_flag}};
  auto add = [&v](const char *name, const std::string &value) {
    if (!value.empty()) v.emplace_back(name, value);
  };
  add("ABAPPROG", abapprog);
  add("VARIANT", variant);
  add("BLOCKSIZE", blocksize);
  add("DEBUG", debug);
  add("DEST", dest);
  add("DHANDLE", dhandle);
  add("DIALOG_FLAG", dialog_flag);
  add("FUNC_NAME", func_name);
  for (const auto &l : jdata) v.emplace_back("JDATA", l);
  for (const auto &l : mdata) v.emplace_back("MDATA", l);
  return v;
}

RequestParameters RequestParameters::fetch(Call &call) {
  RequestParameters p;
  std::vector<Field> fields = {
      {"FUNC_FLAG", &p.func_flag, std::vector<char>(1)},
      {"ABAPPROG", &p.abapprog, std::vector<char>(100)},
      {"VARIANT", &p.variant, std::vector<char>(40)},
      {"BLOCKSIZE", &p.blocksize, std::vector<char>(8)},
      {"DEBUG", &p.debug, std::vector<char>(1)},
      {"DEST", &p.dest, std::vector<char>(250)},
      {"DHANDLE", &p.dhandle, std::vector<char>(131)},
      {"DIALOG_FLAG", &p.dialog_flag, std::vector<char>(1)},
      {"FUNC_NAME", &p.func_name, std::vector<char>(30)},
  };
  ParamList none, importing;
  for (auto &f : fields) {
    std::memset(f.buf.data(), ' ', f.buf.size());
    importing.add(f.name, f.buf.data(), static_cast<unsigned>(f.buf.size()));
  }
  // The tables go out empty and come back filled, as an ABAP caller's
  // TABLES parameters would.
  TableList tables;
  tables.add("JDATA", kLineWidth);
  tables.add("MDATA", kLineWidth);
  std::string exception;
  RFC_RC rc = call.call_back(kCallback, none, importing, &tables, &exception);
  if (rc != RFC_OK) {
    std::string why = "Callback " + std::string(kCallback) + " failed with code " +
                      std::to_string(rc) + (exception.empty() ? "" : ", exception " + exception);
    CallLog::record(call.db(), call.session().number, "CALLBACK", kCallback, {}, why);
    throw std::runtime_error(why);
  }
  for (auto &f : fields) *f.target = trimmed(f.buf.data(), f.buf.size());
  p.jdata = lines_of(tables.at(0));
  p.mdata = lines_of(tables.at(1));
  CallLog::record(call.db(), call.session().number, "CALLBACK", kCallback, p.values(), "OK");
  return p;
}

}  // namespace r3sim

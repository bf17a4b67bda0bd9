#include "select_driver.h"

#include <gtest/gtest.h>

#include <cstring>
#include "sapitab.h"

using r3sim::ParamList;
using r3sim::TableList;

namespace r3simtest {

namespace {

// A table list whose tables the library creates as they arrive, with the
// width the partner sent; deleted with the list.
struct ReceivedTables {
  explicit ReceivedTables(std::vector<const char *> names) {
    for (const char *n : names)
      list.push_back(RFC_TABLE{const_cast<char *>(n), static_cast<unsigned>(std::strlen(n)),
                               RFCTYPE_BYTE, 0, nullptr, RFC_ITMODE_BYREFERENCE, 0});
    list.push_back(RFC_TABLE{nullptr, 0, 0, 0, nullptr, RFC_ITMODE_BYREFERENCE, 0});
  }
  ~ReceivedTables() {
    for (auto &t : list)
      if (t.ithandle) ItDelete(t.ithandle);
  }
  ITAB_H at(size_t i) const { return list[i].ithandle; }
  std::vector<RFC_TABLE> list;
};

}  // namespace

std::vector<std::string> SelectOutcome::records() const {
  std::vector<std::string> out;
  unsigned width = chunks.empty() ? 0 : chunks[0].width;
  for (size_t at = 0; width > 0 && at + width <= data.size(); at += width)
    out.push_back(data.substr(at, width));
  return out;
}

SelectDriver::~SelectDriver() {
  if (h_) RfcClose(h_);
}

SelectOutcome SelectDriver::run(const SelectAsk &ask) {
  SelectOutcome out;
  if (!h_) h_ = sim_.logon();
  char pdest[4] = {'B', 'A', 'C', 'K'};
  ParamList exporting, none;
  exporting.add("PDEST", pdest, 4);
  out.rc = RfcCall(h_, const_cast<char *>(ask.module.c_str()), exporting.get(), nullptr);
  char *exception = nullptr;
  if (out.rc == RFC_OK) out.rc = RFC_CALL;
  while (out.rc == RFC_CALL &&
         (out.rc = RfcReceive(h_, none.get(), nullptr, &exception)) == RFC_CALL) {
    RFC_FUNCTIONNAME name{};
    EXPECT_EQ(RfcGetName(h_, name), RFC_OK);
    std::string cb = name;
    out.callbacks.push_back(cb);
    if (cb == "Z_QOR_GET_REQUEST_PARAMETERS") {
      answer_parameters(ask);
    } else if (cb == "Z_QOR_DATA_CHUNK") {
      receive_chunk(ask, out);
    } else if (cb == "Z_QOR_MDATA") {
      out.metadata = receive_lines("MTAB");
    } else if (cb == "Z_QOR_GENPROG") {
      char rc[8], dhandle[130];
      ParamList imp;
      imp.add("RC", rc, sizeof rc).add("DHANDLE", dhandle, sizeof dhandle);
      out.program = receive_lines("LTAB", &imp);
    } else if (!ask.raise_unknown.empty()) {
      EXPECT_EQ(RfcGetData(h_, none.get(), nullptr), RFC_OK);
      RfcRaise(h_, const_cast<char *>(ask.raise_unknown.c_str()));
    } else {
      EXPECT_EQ(RfcGetData(h_, none.get(), nullptr), RFC_OK);
      EXPECT_EQ(RfcSendData(h_, none.get(), nullptr), RFC_OK);
    }
  }
  if (out.rc == RFC_EXCEPTION && exception) out.exception = exception;
  if (out.rc != RFC_OK && out.rc != RFC_EXCEPTION) {
    RFC_ERROR_INFO_EX e{};
    RfcLastErrorEx(&e);
    out.error = e.message;
    RfcClose(h_);
    h_ = RFC_HANDLE_NULL;
  }
  return out;
}

void SelectDriver::answer_parameters(const SelectAsk &ask) {
  TableList tables;
  ITAB_H jdata = tables.add("JDATA", 72), mdata = tables.add("MDATA", 72);
  ParamList none;
  ASSERT_EQ(RfcGetData(h_, none.get(), tables.get()), RFC_OK);
  for (const auto &l : ask.jdata) r3sim::put_text(static_cast<char *>(ItAppLine(jdata)), 72, l);
  for (const auto &l : ask.mdata) r3sim::put_text(static_cast<char *>(ItAppLine(mdata)), 72, l);
  std::string flag = ask.func_flag, prog = "/QOR/Z_QOR_READ", block = ask.blocksize,
              debug = ask.debug, dhandle = ask.dhandle, dialog = ask.dialog_flag;
  ParamList exp;
  auto add = [&exp](const char *name, std::string &v) {
    exp.add(name, v.data(), static_cast<unsigned>(v.size()));
  };
  add("FUNC_FLAG", flag);
  add("ABAPPROG", prog);
  add("BLOCKSIZE", block);
  add("DEBUG", debug);
  add("DHANDLE", dhandle);
  add("DIALOG_FLAG", dialog);
  ASSERT_EQ(RfcSendData(h_, exp.get(), tables.get()), RFC_OK);
}

void SelectDriver::receive_chunk(const SelectAsk &ask, SelectOutcome &out) {
  char dhandle[131], emsg[200], eod[1], table[30];
  ParamList imp, none;
  imp.add("DHANDLE", dhandle, sizeof dhandle)
      .add("EMSG", emsg, sizeof emsg)
      .add("END_OF_DATA", eod, 1)
      .add("TABLE_NAME", table, sizeof table);
  ReceivedTables tables({"DTAB", "MTAB"});
  ASSERT_EQ(RfcGetData(h_, imp.get(), tables.list.data()), RFC_OK);
  Chunk c{text(dhandle, sizeof dhandle), text(emsg, sizeof emsg), std::string(eod, 1),
          text(table, sizeof table),     ItLeng(tables.at(0)),    ItFill(tables.at(0))};
  if (ask.keep_rows)
    for (unsigned i = 1; i <= c.rows; ++i)
      out.data.append(static_cast<const char *>(ItGetLine(tables.at(0), i)), c.width);
  out.rows += c.rows;
  out.chunks.push_back(c);
  if (ask.kill_chunk == static_cast<int>(out.chunks.size()))
    EXPECT_EQ(RfcRaiseTables(h_, const_cast<char *>("KILLED_BY_QOR"), tables.list.data()), RFC_OK);
  else
    EXPECT_EQ(RfcSendData(h_, none.get(), tables.list.data()), RFC_OK);
}

std::vector<std::string> SelectDriver::receive_lines(const char *table, ParamList *importing) {
  ParamList none;
  ReceivedTables tables({table});
  std::vector<std::string> lines;
  EXPECT_EQ(RfcGetData(h_, (importing ? importing : &none)->get(), tables.list.data()), RFC_OK);
  for (unsigned i = 1; i <= ItFill(tables.at(0)); ++i)
    lines.push_back(
        text(static_cast<const char *>(ItGetLine(tables.at(0), i)), ItLeng(tables.at(0))));
  EXPECT_EQ(RfcSendData(h_, none.get(), tables.list.data()), RFC_OK);
  return lines;
}

}  // namespace r3simtest

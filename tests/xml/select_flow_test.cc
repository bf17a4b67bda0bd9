// Select requests against an application server hosted in the test (the
// library's partner side) whose dialog function module plays R/3's part:
// it logs the client on, asks for the request parameters of a select and
// delivers the chunks the test gives it. Checks the JDATA and MDATA lines
// and exporting values R/3 received, and what reached the client.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "server_under_test.h"
#include "test_partner.h"

namespace {

using namespace std::chrono_literals;
using rfctest::kEndParam;
using rfctest::kEndTable;
using rfctest::param;

struct Chunk {
  std::vector<std::string> rows;
  char end_of_data = ' ';
  std::string emsg;
};

// What the dialog module received in the request parameters.
struct Parameters {
  std::string func_flag, abapprog, variant, blocksize, debug, dest, dhandle, dialog_flag;
  std::vector<std::string> jdata, mdata;  // whole 72-character rows
};

std::vector<std::string> rows_of(ITAB_H t) {
  std::vector<std::string> rows;
  for (unsigned i = 1, n = t ? ItFill(t) : 0; i <= n; ++i)
    rows.emplace_back(static_cast<const char *>(ItGetLine(t, i)), ItLeng(t));
  return rows;
}

// Rows without their trailing blanks, for comparing lines by content.
std::vector<std::string> trimmed(const std::vector<std::string> &rows) {
  std::vector<std::string> out;
  for (const std::string &r : rows) out.push_back(rfctest::trimmed(r.data(), r.size()));
  return out;
}

class SelectFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    partner_.add("/QOR/Z_QOR_DIALOG", [this](RFC_HANDLE h) { dialog(h); });
  }

  void dialog(RFC_HANDLE h) {
    char pdest[5] = "";
    RFC_PARAMETER in[] = {param("PDEST", pdest, 4), kEndParam};
    RFC_TABLE no_tables[] = {kEndTable};
    RfcGetData(h, in, no_tables);
    char flag[2] = "", prog[41] = "", variant[15] = "", size[9] = "", debug[2] = "",
         dest[21] = "", dhandle[131] = "", dialog_flag[2] = "";
    RFC_PARAMETER grp[] = {param("FUNC_FLAG", flag, 1),     param("ABAPPROG", prog, 40),
                           param("VARIANT", variant, 14),   param("BLOCKSIZE", size, 8),
                           param("DEBUG", debug, 1),        param("DEST", dest, 20),
                           param("DHANDLE", dhandle, 130),  param("DIALOG_FLAG", dialog_flag, 1),
                           kEndParam};
    RFC_TABLE tables[] = {rfctest::table("MDATA", ITAB_NULL, 72),
                          rfctest::table("JDATA", ITAB_NULL, 72), kEndTable};
    RFC_PARAMETER none[] = {kEndParam};
    partner_.call_serving(h, "Z_QOR_GET_REQUEST_PARAMETERS", none, grp, tables);
    if (flag[0] == 'I') {
      char sysinfo[] = "QR1,r3host,46C,";
      RFC_PARAMETER ssi[] = {param("SYSINFO", sysinfo, std::strlen(sysinfo)), kEndParam};
      partner_.call_serving(h, "Z_QOR_SEND_SYSTEM_INFO", ssi, none, no_tables);
    } else {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        seen_.func_flag = std::string(flag, 1);
        seen_.abapprog = rfctest::trimmed(prog, 40);
        seen_.variant = rfctest::trimmed(variant, 14);
        seen_.blocksize = std::string(size, 8);
        seen_.debug = std::string(debug, 1);
        seen_.dest = rfctest::trimmed(dest, 20);
        seen_.dhandle = rfctest::trimmed(dhandle, 130);
        seen_.dialog_flag = std::string(dialog_flag, 1);
        seen_.mdata = rows_of(tables[0].ithandle);
        seen_.jdata = rows_of(tables[1].ithandle);
        ++selects_;
      }
      if (!unknown_callback_.empty()) partner_.call_serving(h, unknown_callback_.c_str(), none, none, no_tables);
      for (const Chunk &c : chunks_) {
        if (send_chunk(h, dhandle, c) != RFC_OK) break;
      }
    }
    for (RFC_TABLE *t = tables; t->name; ++t)
      if (t->ithandle) ItDelete(t->ithandle);
    RfcSendData(h, none, no_tables);
  }

  RFC_RC send_chunk(RFC_HANDLE h, char *dhandle, const Chunk &c) {
    ITAB_H dtab = ItCreate(const_cast<char *>("DTAB"), width_, 0, 0);
    for (const std::string &r : c.rows) std::memcpy(ItAppLine(dtab), r.data(), width_);
    ITAB_H mtab = ItCreate(const_cast<char *>("MTAB"), 512, 0, 0);
    char eod = c.end_of_data, table_name[] = "MARA";
    std::string emsg = c.emsg;
    RFC_PARAMETER out[] = {param("DHANDLE", dhandle, std::strlen(dhandle)),
                           param("EMSG", &emsg[0], static_cast<unsigned>(emsg.size())),
                           param("END_OF_DATA", &eod, 1), param("TABLE_NAME", table_name, 4),
                           kEndParam};
    RFC_TABLE tables[] = {rfctest::table("DTAB", dtab, width_, RFCTYPE_BYTE),
                          rfctest::table("MTAB", mtab, 512), kEndTable};
    RFC_PARAMETER none[] = {kEndParam};
    RFC_RC rc = partner_.call_serving(h, "Z_QOR_DATA_CHUNK", out, none, tables);
    ItDelete(dtab);
    ItDelete(mtab);
    std::lock_guard<std::mutex> lock(mutex_);
    chunk_codes_.push_back(rc);
    return rc;
  }

  std::string logon_element() const {
    return "<connect ashost=\"127.0.0.1\" gwserv=\"" + std::to_string(partner_.port()) +
           "\" client=\"800\" user=\"QORUSER\" sysnr=\"00\" passwd=\"p\"/>\n";
  }

  // A connection whose handle record has been read; its handle.
  static std::string open(qtest::Conn &conn, int port) {
    conn.connect(port);
    std::string record = conn.read_exact(130);
    return rfctest::trimmed(record.data(), record.size() > 129 ? 129 : record.size());
  }

  // Logs on through L and opens D; gives the server.
  void log_on(qtest::ServerUnderTest &server) {
    ASSERT_TRUE(server.ready());
    chandle_ = open(logon_, server.port());
    ASSERT_TRUE(logon_.send(logon_element()));
    ASSERT_EQ(logon_.read_line(), "QR1,r3host,46C,1100,LIT,IE3,N,/QOR/,1,1,\n");
    dhandle_ = open(data_, server.port());
  }

  // Sends one select on a new request connection; everything it said
  // until it closed.
  std::string run(qtest::ServerUnderTest &server, const std::string &element) {
    qtest::Conn request;
    open(request, server.port());
    request.send(element + "\n");
    return request.read_all(10s);
  }

  Parameters seen() {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
  }

  rfctest::TestPartner partner_;
  std::mutex mutex_;
  Parameters seen_;
  int selects_ = 0;
  std::vector<RFC_RC> chunk_codes_;
  std::vector<Chunk> chunks_;
  std::string unknown_callback_;
  unsigned width_ = 6;
  qtest::Conn logon_, data_;
  std::string chandle_, dhandle_;
};

std::string record(const std::string &row, char flag) { return row + flag; }

TEST_F(SelectFlow, RowsGoToTheDataConnectionAfterOk) {
  chunks_ = {{{"ROW001", "ROW002"}, ' ', ""}, {{"ROW003"}, 'X', ""}};
  qtest::ServerUnderTest server({"-V", "qorvar"});
  log_on(server);
  std::string reply = run(server, "<sselect chandle=\"" + chandle_ + "\" dhandle=\"" + dhandle_ +
                                      "\" data=\"y\"><table name=\"MARA\"/></sselect>");
  EXPECT_EQ(reply, "OK\n");
  std::string zero(6, '\0');
  EXPECT_EQ(data_.read_all(10s), record("ROW001", '\0') + record("ROW002", '\0') +
                                     record("ROW003", '\0') + zero + '\xff');
  Parameters p = seen();
  EXPECT_EQ(trimmed(p.jdata), (std::vector<std::string>{"sselect", "T,MARA,,"}));
  EXPECT_EQ(trimmed(p.mdata), std::vector<std::string>{"MARA,*"});
  EXPECT_EQ(p.func_flag, "D");
  EXPECT_EQ(p.abapprog, "/QOR/Z_QOR_READ");
  EXPECT_EQ(p.variant, "QORVAR");
  EXPECT_EQ(p.blocksize, "00010000");
  EXPECT_EQ(p.debug, " ");
  EXPECT_EQ(p.dest, "");
  EXPECT_EQ(p.dhandle, dhandle_);
  EXPECT_EQ(p.dialog_flag, " ");
  // The logon connection still serves.
  EXPECT_FALSE(logon_.wait_closed(100ms));
}

TEST_F(SelectFlow, ClauseLinesAndFieldsOfAnSselect) {
  chunks_ = {{{}, 'X', ""}};
  qtest::ServerUnderTest server({"-B", "20000", "-U", "1"});
  log_on(server);
  std::string w72(72, 'a'), w73 = std::string(72, 'b') + "c";
  std::string reply = run(
      server, "<sselect chandle=\"" + chandle_ + "\" dhandle=\"" + dhandle_ +
                  "\" data=\"Y\" metadata=\"Y\" distinct=\"y\">"
                  "<field name=\"MATNR\" distinct=\"y\"/><where>MTART = 'FERT'</where>"
                  "<table name=\"MARA\" alias=\"m\"/><where>AND  MATKL &lt;&gt; ' x '  </where>"
                  "<field name=\"\" table=\"X\"/><orderby>MATNR</orderby>"
                  "<field name=\"BRGEW\" table=\"MARC\" alias=\"g\" aggregate=\"sum\"/>"
                  "<where>" + w72 + "</where><groupby>MATNR</groupby><where>" + w73 + "</where>"
                  "<having>COUNT( * ) &gt; 1</having></sselect>");
  // A field without a name is reported; the reply still goes out.
  EXPECT_EQ(reply, "E,field has no name\nOK\n");
  Parameters p = seen();
  EXPECT_EQ(trimmed(p.jdata),
            (std::vector<std::string>{"sselect,Y", "T,MARA,m,", "W,4", "MTART = 'FERT'",
                                      "AND  MATKL <> ' x '", w72, std::string(72, 'b'), "GB,1",
                                      "MATNR", "H,1", "COUNT( * ) > 1", "OB,1", "MATNR"}));
  // Every line is 72 characters, blank-padded; clause texts keep their
  // own blanks.
  for (const std::string &row : p.jdata) EXPECT_EQ(row.size(), 72u);
  EXPECT_EQ(p.jdata[4], "AND  MATKL <> ' x '  " + std::string(51, ' '));
  EXPECT_EQ(trimmed(p.mdata), (std::vector<std::string>{"MARA,MATNR,,Y,,", "MARC,BRGEW,g,,sum,"}));
  EXPECT_EQ(p.func_flag, "B");
  EXPECT_EQ(p.blocksize, "00020000");
  EXPECT_EQ(p.dialog_flag, "X");
  EXPECT_EQ(data_.read_all(10s), std::string(6, '\0') + '\xff');
}

TEST_F(SelectFlow, NselectAndGselectLines) {
  qtest::ServerUnderTest server;
  log_on(server);
  const std::string handles = "chandle=\"" + chandle_ + "\"";
  // Only the first select names fields: the second gets no "*" line.
  run(server, "<nselect " + handles + " metadata=\"Y\">"
              "<sselect><table name=\"SCARR\"/><field name=\"CARRID\"/><where>A = 1</where>"
              "<where>OR A = 2</where></sselect>"
              "<sselect><where>B = 3</where><table name=\"SPFLI\" alias=\"s\"/></sselect></nselect>");
  Parameters p = seen();
  EXPECT_EQ(trimmed(p.jdata), (std::vector<std::string>{"nselect", "T,SCARR,,", "W,2", "A = 1",
                                                         "OR A = 2", "T,SPFLI,s,", "W,1", "B = 3"}));
  EXPECT_EQ(trimmed(p.mdata), std::vector<std::string>{"SCARR,CARRID,,,,N"});
  EXPECT_EQ(p.func_flag, "M");
  // Without a dhandle the request connection is its own data connection.
  EXPECT_NE(p.dhandle, "");
  EXPECT_NE(p.dhandle, dhandle_);

  run(server, "<gselect " + handles + " distinct=\"Y\"><field name=\"CARRID\" table=\"A\"/>"
              "<orderby>A~CARRID</orderby>"
              "<table name=\"SCARR\" alias=\"A\"><on>A~CARRID = B~CARRID</on><on>AND 1 = 1</on></table>"
              "<where>B~DISTANCE &gt; 100</where><table name=\"SPFLI\" alias=\"B\" join=\"left\"/>"
              "<field name=\"CONNID\" aggregate=\"COUNT\"/><groupby>A~CARRID</groupby></gselect>");
  p = seen();
  EXPECT_EQ(trimmed(p.jdata),
            (std::vector<std::string>{"gselect,Y", "T,SCARR,A,", "O,2", "A~CARRID = B~CARRID",
                                      "AND 1 = 1", "T,SPFLI,B,left", "W,1", "B~DISTANCE > 100",
                                      "GB,1", "A~CARRID", "OB,1", "A~CARRID"}));
  EXPECT_EQ(trimmed(p.mdata), (std::vector<std::string>{"A,CARRID,,,,", "SPFLI,CONNID,,,COUNT,"}));
  EXPECT_EQ(p.func_flag, " ");

  // A gselect without a table is refused before R/3 hears of it.
  int before = selects_;
  EXPECT_EQ(run(server, "<gselect " + handles + "><field name=\"A\"/></gselect>"),
            "E,gselect names no table\n");
  EXPECT_EQ(selects_, before);
}

TEST_F(SelectFlow, EmsgAfterRowsGivesAnErrorRecordAndTheLine) {
  chunks_ = {{{"ROW001"}, ' ', ""}, {{"ROW002"}, ' ', "Table ZZZ is not active"}};
  qtest::ServerUnderTest server;
  log_on(server);
  std::string reply = run(server, "<sselect chandle=\"" + chandle_ + "\" dhandle=\"" + dhandle_ +
                                      "\" data=\"Y\"><table name=\"ZZZ\"/></sselect>");
  EXPECT_EQ(reply, "OK\nE,Table ZZZ is not active\n");
  EXPECT_EQ(data_.read_all(10s), record("ROW001", '\0') + std::string(6, '\0') + 'X');
}

TEST_F(SelectFlow, RefusedRequestsAndUnknownCallbacks) {
  qtest::ServerUnderTest server;
  log_on(server);
  EXPECT_EQ(run(server, "<sselect chandle=\"nope\"><table name=\"MARA\"/></sselect>"),
            "E,chandle is invalid\n");
  EXPECT_EQ(run(server, "<sselect><table name=\"MARA\"/></sselect>"), "E,chandle is invalid\n");
  unknown_callback_ = "Z_QOR_DATA_CHUNKS";
  EXPECT_EQ(run(server, "<sselect chandle=\"" + chandle_ + "\"><table name=\"MARA\"/></sselect>"),
            "E,Unknown callback from R/3\n");
  EXPECT_EQ(selects_, 1);
}

}  // namespace

// The reply to the request-parameters callback of a select, as an
// application server hosted in the test (the library's partner side)
// receives it: the exporting values and the JDATA and MDATA rows byte for
// byte, blanks included (the end-to-end tests see r3sim's trimmed log).
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "server_under_test.h"
#include "test_partner.h"
#include "sapitab.h"

namespace {

using namespace std::chrono_literals;
using rfctest::kEndParam;
using rfctest::param;

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

class SelectReply : public ::testing::Test {
 protected:
  // The dialog module: the request parameters, and for a connect the
  // system information; no rows.
  void SetUp() override {
    partner_.add("/QOR/Z_QOR_DIALOG", [this](RFC_HANDLE h) {
      char pdest[5] = "", flag[2] = "", prog[41] = "", variant[15] = "", size[9] = "",
           debug[2] = "", dest[21] = "", dhandle[131] = "", dialog_flag[2] = "";
      RFC_PARAMETER in[] = {param("PDEST", pdest, 4), kEndParam}, none[] = {kEndParam};
      RfcGetData(h, in, nullptr);
      RFC_PARAMETER grp[] = {param("FUNC_FLAG", flag, 1),    param("ABAPPROG", prog, 40),
                             param("VARIANT", variant, 14),  param("BLOCKSIZE", size, 8),
                             param("DEBUG", debug, 1),       param("DEST", dest, 20),
                             param("DHANDLE", dhandle, 130), param("DIALOG_FLAG", dialog_flag, 1),
                             kEndParam};
      RFC_TABLE tables[] = {rfctest::table("MDATA", ITAB_NULL, 72),
                            rfctest::table("JDATA", ITAB_NULL, 72), rfctest::kEndTable};
      partner_.call_serving(h, "Z_QOR_GET_REQUEST_PARAMETERS", none, grp, tables);
      if (flag[0] == 'I') {
        char sysinfo[] = "QR1,r3host,46C,";
        RFC_PARAMETER ssi[] = {param("SYSINFO", sysinfo, std::strlen(sysinfo)), kEndParam};
        partner_.call_serving(h, "Z_QOR_SEND_SYSTEM_INFO", ssi, none, nullptr);
      } else {
        std::lock_guard<std::mutex> lock(mutex_);
        seen_ = {std::string(flag, 1), rfctest::trimmed(prog, 40), rfctest::trimmed(variant, 14),
                 std::string(size, 8), std::string(debug, 1), rfctest::trimmed(dest, 20),
                 rfctest::trimmed(dhandle, 130), std::string(dialog_flag, 1),
                 rows_of(tables[1].ithandle), rows_of(tables[0].ithandle)};
      }
      for (RFC_TABLE *t = tables; t->name; ++t)
        if (t->ithandle) ItDelete(t->ithandle);
      RfcSendData(h, none, nullptr);
    });
  }

  static std::string open(qtest::Conn &conn, int port) {
    conn.connect(port);
    std::string record = conn.read_exact(130);
    return rfctest::trimmed(record.data(), record.size() > 129 ? 129 : record.size());
  }

  // Logs on through a connection kept open; its handle.
  std::string log_on(qtest::ServerUnderTest &server) {
    EXPECT_TRUE(server.ready());
    std::string handle = open(logon_, server.port());
    logon_.send("<connect ashost=\"127.0.0.1\" gwserv=\"" + std::to_string(partner_.port()) +
                "\" client=\"800\" user=\"QORUSER\" sysnr=\"00\" passwd=\"p\"/>\n");
    EXPECT_EQ(logon_.read_line(), "QR1,r3host,46C,1100,LIT,IE3,N,/QOR/,1,1,\n");
    return handle;
  }

  // One select on a new connection; what it said until it closed, and
  // what the dialog module received.
  std::string run(int port, const std::string &element, Parameters &seen) {
    qtest::Conn request;
    open(request, port);
    request.send(element + "\n");
    std::string said = request.read_all(10s);
    std::lock_guard<std::mutex> lock(mutex_);
    seen = seen_;
    return said;
  }

  rfctest::TestPartner partner_;
  std::mutex mutex_;
  Parameters seen_;
  qtest::Conn logon_;
};

TEST_F(SelectReply, ExportingValuesAndWholeLines) {
  qtest::ServerUnderTest server({"-V", "qorvar", "-B", "20000", "-U", "1"});
  std::string chandle = log_on(server);
  qtest::Conn data;
  std::string dhandle = open(data, server.port());
  std::string where = "AND  MATKL &lt;&gt; ' x '  ", w73 = std::string(72, 'b') + "c";
  Parameters p;
  std::string said = run(server.port(),
                         "<sselect chandle=\"" + chandle + "\" dhandle=\"" + dhandle +
                             "\" data=\"Y\" metadata=\"Y\"><table name=\"MARA\"/><where>" + where +
                             "</where><where>" + w73 + "</where><field name=\"\" table=\"X\"/>"
                             "<field name=\"MATNR\"/><having>COUNT( * ) &gt; 1</having></sselect>",
                         p);
  // A field without a name is reported; the reply still goes out.
  EXPECT_EQ(said, "E,field has no name\n");
  std::string blanks(72, ' ');
  EXPECT_EQ(p.jdata, (std::vector<std::string>{
                         "sselect" + blanks.substr(7), "T,MARA,," + blanks.substr(8),
                         "W,2" + blanks.substr(3), "AND  MATKL <> ' x '  " + blanks.substr(21),
                         std::string(72, 'b'), "H,1" + blanks.substr(3),
                         "COUNT( * ) > 1" + blanks.substr(14)}));
  EXPECT_EQ(p.mdata, std::vector<std::string>{"MARA,MATNR,,,," + blanks.substr(14)});
  EXPECT_EQ(p.func_flag, "B");
  EXPECT_EQ(p.abapprog, "/QOR/Z_QOR_READ");
  EXPECT_EQ(p.variant, "QORVAR");
  EXPECT_EQ(p.blocksize, "00020000");
  EXPECT_EQ(p.debug, " ");
  EXPECT_EQ(p.dest, "");
  EXPECT_EQ(p.dhandle, dhandle);
  EXPECT_EQ(p.dialog_flag, "X");
}

TEST_F(SelectReply, FuncFlagFollowsDataAndMetadata) {
  qtest::ServerUnderTest server;
  std::string chandle = log_on(server);
  const std::pair<std::string, std::string> cases[] = {
      {" data=\"y\"", "D"}, {" metadata=\"Y\" data=\"n\"", "M"}, {"", " "}};
  for (const auto &c : cases) {
    Parameters p;
    run(server.port(), "<sselect chandle=\"" + chandle + "\"" + c.first + "><table name=\"T\"/></sselect>", p);
    EXPECT_EQ(p.func_flag, c.second) << c.first;
    EXPECT_EQ(p.blocksize, "00010000");
    EXPECT_EQ(p.dialog_flag, " ");
    EXPECT_EQ(p.variant, "");
  }
}

}  // namespace

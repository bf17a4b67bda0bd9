// The dialog module's connect flow, with the test playing the server: it
// calls <ns>Z_QOR_DIALOG with PDEST "BACK", answers the request-parameters
// callback and receives the system information, as the server does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "call_lists.h"
#include "r3sim_process.h"

using r3sim::ParamList;
using r3simtest::R3simProcess;
using r3simtest::text;

namespace {

struct SystemInfo {
  std::string sysinfo, batdest, batprid, batgwh, batgws, batgwfl, batmess;
};

struct Outcome {
  RFC_RC rc = RFC_OK;
  std::vector<std::string> callbacks;  // names in the order they came
  SystemInfo ssi;
  std::string error;  // message of a failed call
};

class R3simDialog : public ::testing::Test {
 protected:
  void TearDown() override {
    if (h_) RfcClose(h_);
  }

  // Runs one dialog call; the request-parameters callback is answered with
  // func_flag, abapprog and variant, or raises `raise` when it is given.
  Outcome connect(const std::string &func_flag, const std::string &abapprog,
                  const std::string &variant, const std::string &fm = "/QOR/Z_QOR_DIALOG",
                  const char *raise = nullptr) {
    Outcome out;
    if (!h_) h_ = target_->logon();
    char pdest[4] = {'B', 'A', 'C', 'K'};
    ParamList exp;
    exp.add("PDEST", pdest, 4);
    if (RfcCall(h_, const_cast<char *>(fm.c_str()), exp.get(), nullptr) != RFC_OK) {
      out.rc = RFC_FAILURE;
      return out;
    }
    ParamList none;
    char *exception = nullptr;
    while ((out.rc = RfcReceive(h_, none.get(), nullptr, &exception)) == RFC_CALL) {
      RFC_FUNCTIONNAME name{};
      EXPECT_EQ(RfcGetName(h_, name), RFC_OK);
      out.callbacks.push_back(name);
      if (out.callbacks.back() == "Z_QOR_GET_REQUEST_PARAMETERS")
        answer_parameters(func_flag, abapprog, variant, raise);
      else if (out.callbacks.back() == "Z_QOR_SEND_SYSTEM_INFO")
        out.ssi = receive_system_info();
      else
        ADD_FAILURE() << "unexpected callback " << name;
    }
    if (out.rc != RFC_OK) {
      RFC_ERROR_INFO_EX e{};
      RfcLastErrorEx(&e);
      out.error = e.message;
      RfcClose(h_);
      h_ = RFC_HANDLE_NULL;
    }
    return out;
  }

  void answer_parameters(const std::string &func_flag, const std::string &abapprog,
                         const std::string &variant, const char *raise) {
    ParamList none;
    ASSERT_EQ(RfcGetData(h_, none.get(), nullptr), RFC_OK);
    if (raise) {
      RfcRaise(h_, const_cast<char *>(raise));
      return;
    }
    std::string flag = func_flag, prog = abapprog, var = variant;
    ParamList exp;
    exp.add("FUNC_FLAG", flag.data(), static_cast<unsigned>(flag.size()))
        .add("ABAPPROG", prog.data(), static_cast<unsigned>(prog.size()))
        .add("VARIANT", var.data(), static_cast<unsigned>(var.size()));
    ASSERT_EQ(RfcSendData(h_, exp.get(), nullptr), RFC_OK);
  }

  SystemInfo receive_system_info() {
    char sysinfo[200], dest[250], prid[250], gwh[250], gws[250], gwfl[1], mess[250];
    ParamList imp;
    imp.add("SYSINFO", sysinfo, sizeof sysinfo)
        .add("BATDEST", dest, sizeof dest)
        .add("BATPRID", prid, sizeof prid)
        .add("BATGWH", gwh, sizeof gwh)
        .add("BATGWS", gws, sizeof gws)
        .add("BATGWFL", gwfl, sizeof gwfl)
        .add("BATMESS", mess, sizeof mess);
    EXPECT_EQ(RfcGetData(h_, imp.get(), nullptr), RFC_OK);
    ParamList none;
    EXPECT_EQ(RfcSendData(h_, none.get(), nullptr), RFC_OK);
    return {text(sysinfo, 200), text(dest, 250), text(prid, 250), text(gwh, 250),
            text(gws, 250), std::string(gwfl, 1), text(mess, 250)};
  }

  // KIND FUNCNAME|DETAIL|RESULT of every call-log row, oldest first.
  std::vector<std::string> call_log() {
    r3sim::Stmt s = sim_.db().prepare(
        "SELECT KIND || ' ' || FUNCNAME || '|' || DETAIL || '|' || RESULT FROM ZSIM_CALLS "
        "ORDER BY SEQNO");
    std::vector<std::string> rows;
    while (s.step()) rows.push_back(s.text(0));
    return rows;
  }

  R3simProcess sim_;
  R3simProcess *target_ = &sim_;
  RFC_HANDLE h_ = RFC_HANDLE_NULL;
};

}  // namespace

TEST_F(R3simDialog, ConnectFlowSendsSystemInfoAndBatchValuesAndRecordsEveryStep) {
  Outcome o = connect("I", "/QOR/Z_QOR_READ", "QORBATCH");
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  EXPECT_EQ(o.callbacks,
            (std::vector<std::string>{"Z_QOR_GET_REQUEST_PARAMETERS", "Z_QOR_SEND_SYSTEM_INFO"}));
  // RFCSI layout: protocol, code page, integer and float format, then the destination.
  EXPECT_EQ(o.ssi.sysinfo.substr(0, 13), "0111100LITIE3");
  EXPECT_EQ(o.ssi.batdest, "QORRFC");
  EXPECT_EQ(o.ssi.batprid, "QORRFC");
  EXPECT_EQ(o.ssi.batgwh, "127.0.0.1");
  EXPECT_EQ(o.ssi.batgws, std::to_string(sim_.port()));
  EXPECT_EQ(o.ssi.batgwfl, " ");
  EXPECT_EQ(o.ssi.batmess, "");

  std::vector<std::string> log = call_log();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0].rfind("LOGON |CLIENT=800\nUSER=DEMO\nLANGUAGE=E\n", 0), 0u) << log[0];
  EXPECT_EQ(log[0].substr(log[0].size() - 3), "|OK");
  EXPECT_EQ(log[1], "CALL /QOR/Z_QOR_DIALOG|PDEST=BACK|");
  EXPECT_EQ(log[2],
            "CALLBACK Z_QOR_GET_REQUEST_PARAMETERS|FUNC_FLAG=I\nABAPPROG=/QOR/Z_QOR_READ\n"
            "VARIANT=QORBATCH|OK");
  EXPECT_EQ(log[3].rfind("CALLBACK Z_QOR_SEND_SYSTEM_INFO|BATDEST=QORRFC\nBATPRID=QORRFC\n", 0),
            0u)
      << log[3];
  EXPECT_EQ(log[3].substr(log[3].size() - 7), "|CALLED");
}

TEST_F(R3simDialog, BatmessSaysWhyBatchIsImpossible) {
  struct Case {
    std::string abapprog, variant, batmess;
  } cases[] = {
      {"/QOR/Z_QOR_READ", "", "The RFC server has no variant: batch mode is not available"},
      {"/QOR/Z_QOR_READ", "NOSUCH",
       "Variant NOSUCH of report /QOR/Z_QOR_READ does not exist: batch mode is not available"},
      {"ZNOREPORT", "QORBATCH", "Report ZNOREPORT does not exist: batch mode is not available"},
  };
  for (const auto &c : cases) {
    Outcome o = connect("I", c.abapprog, c.variant);
    ASSERT_EQ(o.rc, RFC_OK) << o.error;
    EXPECT_EQ(o.ssi.batmess, c.batmess) << c.variant;
    EXPECT_EQ(o.ssi.batprid, "") << c.variant;
    EXPECT_EQ(o.ssi.sysinfo.substr(0, 3), "011");
  }
  sim_.db().exec("INSERT INTO VARID VALUES ('/QOR/Z_QOR_READ', 'LOST', 'NODEST')");
  EXPECT_EQ(connect("I", "/QOR/Z_QOR_READ", "LOST").ssi.batmess,
            "RFC destination NODEST does not exist: batch mode is not available");
}

TEST_F(R3simDialog, DestinationWithItsOwnGatewayAndBatmessFault) {
  sim_.db().exec(
      "INSERT INTO VARID VALUES ('/QOR/Z_QOR_READ', 'REMOTE', 'REMOTEGW');"
      "INSERT INTO RFCDES VALUES ('REMOTEGW', 'QORREMOTE', 'gwhost.example', 'sapgw07')");
  Outcome o = connect("I", "/QOR/Z_QOR_READ", "remote");
  ASSERT_EQ(o.rc, RFC_OK) << o.error;
  EXPECT_EQ(o.ssi.batdest, "REMOTEGW");
  EXPECT_EQ(o.ssi.batprid, "QORREMOTE");
  EXPECT_EQ(o.ssi.batgwh, "gwhost.example");
  EXPECT_EQ(o.ssi.batgws, "sapgw07");
  EXPECT_EQ(o.ssi.batgwfl, "X");

  sim_.db().exec(
      "INSERT INTO ZSIM_FAULTS VALUES ('/QOR/Z_QOR_DIALOG', 'BATMESS', 'Batch is switched off', "
      "0, 1)");
  EXPECT_EQ(connect("I", "/QOR/Z_QOR_READ", "QORBATCH").ssi.batmess, "Batch is switched off");
  EXPECT_EQ(connect("I", "/QOR/Z_QOR_READ", "QORBATCH").ssi.batmess, "");
}

TEST_F(R3simDialog, NamespaceFromTheCommandLine) {
  R3simProcess other({"--ns", "/ZZ/"});
  target_ = &other;
  Outcome o = connect("I", "/ZZ/Z_QOR_READ", "QORBATCH", "/ZZ/Z_QOR_DIALOG");
  EXPECT_EQ(o.rc, RFC_OK) << o.error;
  EXPECT_EQ(o.ssi.batprid, "QORRFC");
  // The default namespace's module does not exist there.
  o = connect("I", "/ZZ/Z_QOR_READ", "QORBATCH", "/QOR/Z_QOR_DIALOG");
  EXPECT_EQ(o.rc, RFC_SYS_EXCEPTION);
  EXPECT_TRUE(o.callbacks.empty());
  target_ = &sim_;
}

TEST_F(R3simDialog, FailedOrUnservedRequestEndsInARuntimeError) {
  // The server raising an exception in the parameters callback.
  Outcome o = connect("I", "", "", "/QOR/Z_QOR_DIALOG", "SOME_ERROR");
  EXPECT_EQ(o.rc, RFC_SYS_EXCEPTION);
  EXPECT_NE(o.error.find("Z_QOR_GET_REQUEST_PARAMETERS failed"), std::string::npos) << o.error;
  std::vector<std::string> log = call_log();
  EXPECT_NE(std::find_if(log.begin(), log.end(),
                         [](const std::string &r) {
                           return r.find("exception SOME_ERROR") != std::string::npos;
                         }),
            log.end());
}

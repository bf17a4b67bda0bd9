// Function requests through the main port against r3sim: the server's own
// call of a module with parameters and tables, the module's callbacks, the
// session shared by a logon and renewed after a system failure, the
// transport's dialog call and the background job of entry B.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "function_call.h"
#include "select_support.h"

using e2e::E2eSystem;
using qorclient::FunctionCall;
using qorclient::FunctionParameter;
using qorclient::FunctionReply;
using qorclient::FunctionTable;
using qorclient::MainSession;

namespace {

using Lines = std::vector<std::string>;

FunctionParameter exporting(const std::string &name, const std::string &value, size_t intlen,
                            bool binary = false) {
  FunctionParameter p;
  p.name = name;
  p.value = value;
  p.intlen = intlen;
  p.binary = binary;
  return p;
}

FunctionParameter importing(const std::string &name, size_t intlen, bool binary = false) {
  FunctionParameter p = exporting(name, "", intlen, binary);
  p.importing = true;
  return p;
}

FunctionTable table(const std::string &name, size_t intlen, Lines rows, bool inputonly = false) {
  FunctionTable t;
  t.name = name;
  t.intlen = intlen;
  t.rows = std::move(rows);
  t.inputonly = inputonly;
  return t;
}

std::string padded(const std::string &text, size_t width) {
  std::string out = text;
  out.resize(width, ' ');
  return out;
}

// A logged-on client with a request and a data connection. A request
// connection gives its data connection up when it closes, so both are
// opened anew after a request that ended its connection.
class FunctionClient {
 public:
  explicit FunctionClient(E2eSystem &sys) : sys_(sys) {
    logon_ = sys.open();
    EXPECT_TRUE(logon_->send_request(qorclient::connect_element(sys.logon())));
    std::string line;
    EXPECT_TRUE(logon_->read_line(line));
    EXPECT_FALSE(MainSession::is_error_line(line)) << line;
    renew();
  }

  void renew() {
    request_ = sys_.open();
    data_ = sys_.open();
  }
  MainSession &logon() { return *logon_; }
  MainSession &request() { return *request_; }
  MainSession &data() { return *data_; }

  void send(const FunctionCall &call) {
    EXPECT_TRUE(request_->send_request(call.element(logon_->handle(), data_->handle())));
  }
  FunctionReply run(const FunctionCall &call) {
    send(call);
    return qorclient::read_function_reply(*request_, *data_, call.widths());
  }
  // Sends a request that ends its connection; every line until the close.
  Lines run_to_close(const std::string &element) {
    EXPECT_TRUE(request_->send_request(element));
    Lines lines = request_->read_until_closed();
    renew();
    return lines;
  }
  std::string handles() const {
    return "chandle=\"" + logon_->handle() + "\" dhandle=\"" + data_->handle() + "\"";
  }

 private:
  E2eSystem &sys_;
  std::unique_ptr<MainSession> logon_, request_, data_;
};

const std::vector<std::string> *rows_of(const FunctionReply &reply, const std::string &name) {
  for (const auto &d : reply.data)
    if (d.first == name) return &d.second;
  return nullptr;
}

Lines names_of(const FunctionReply &reply) {
  Lines names;
  for (const auto &d : reply.data) names.push_back(d.first);
  return names;
}

size_t count_of(E2eSystem &sys, int64_t after, const std::string &prefix) {
  return e2e::starting_with(sys.calls(after), prefix).size();
}

// Rows of the call log appear as r3sim goes on after the server has
// answered; waits a while for the first row of that prefix.
std::vector<std::string> wait_for_calls(E2eSystem &sys, int64_t after, const std::string &prefix) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (;;) {
    auto rows = e2e::starting_with(sys.calls(after), prefix);
    if (!rows.empty() || std::chrono::steady_clock::now() > deadline) return rows;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace

TEST(E2eFunction, ParametersAndTablesMakeTheRoundTrip) {
  E2eSystem sys;
  FunctionClient client(sys);

  FunctionCall connection{"STFC_CONNECTION",
                          {exporting("REQUTEXT", "hello", 255), importing("ECHOTEXT", 255)},
                          {}};
  FunctionReply reply = client.run(connection);
  EXPECT_FALSE(reply.failed()) << reply.error;
  ASSERT_NE(rows_of(reply, "ECHOTEXT"), nullptr);
  EXPECT_EQ(*rows_of(reply, "ECHOTEXT"), Lines{padded("hello", 255)});

  // Plain and binary values both ways; ROWS comes back changed, INFO
  // (input only) and EMPTY (emptied) do not come back at all.
  std::string bytes("\x01\x00\xfe\x7f\x80\x00\x00\xff", 8);
  FunctionCall params{"ZSIM_FUNC_PARAMS",
                      {exporting("CTEXT", "Hello", 20), exporting("BDATA", bytes, 8, true),
                       importing("UPPER", 20), importing("INVERTED", 8, true)},
                      {table("ROWS", 16, {"abcdefghijklmnop", "0123456789ABCDEF"}),
                       table("INFO", 16, {"input only row  "}, true), table("EMPTY", 16, {"x"})}};
  client.send(params);
  Lines lines;
  std::string line;
  while (client.request().read_line(line) && line != "EOF") lines.push_back(line);
  EXPECT_EQ(lines, (Lines{"D,UPPER,1", "D,INVERTED,1", "D,ROWS,3"}));
  // Each value is exactly intlen bytes and one zero byte.
  std::string raw;
  ASSERT_TRUE(client.data().stream().read_exact(20 + 1 + 8 + 1, raw, std::chrono::seconds(10)));
  EXPECT_EQ(raw.substr(0, 21), padded("HELLO", 20) + std::string(1, '\0'));
  std::string inverted;
  for (char c : bytes) inverted += static_cast<char>(~c);
  EXPECT_EQ(raw.substr(21), inverted + std::string(1, '\0'));
  qorclient::Record record;
  Lines rows;
  for (int i = 0; i < 3 && client.data().read_record(16, record); ++i) {
    EXPECT_EQ(record.flag, 0);
    rows.push_back(record.bytes);
  }
  EXPECT_EQ(rows, (Lines{"ponmlkjihgfedcba", "FEDCBA9876543210", "ZSIM_FUNC_PARAMS"}));

  // A structured table: the plain form with fillers where offsets leave
  // gaps, and a binary parameter of the structure's width.
  std::string fields =
      "<field name=\"RFCFLOAT\" type=\"F\" len=\"8\" offset=\"0\"/>"
      "<field name=\"RFCCHAR1\" type=\"C\" len=\"1\" offset=\"8\"/>"
      "<field name=\"RFCINT2\" type=\"s\" len=\"2\" offset=\"10\"/>"
      "<field name=\"RFCCHAR4\" type=\"C\" len=\"4\" offset=\"16\"/>";
  std::string row(144, '\0');
  row.replace(8, 1, "A");
  row.replace(16, 4, "WXYZ");
  FunctionTable rfctable = table("RFCTABLE", 144, {row});
  rfctable.structure = "RFCTEST";
  rfctable.fields = fields;
  FunctionCall structure{"STFC_STRUCTURE",
                         {exporting("IMPORTSTRUCT", row, 144, true), importing("ECHOSTRUCT", 144, true)},
                         {rfctable}};
  reply = client.run(structure);
  EXPECT_FALSE(reply.failed()) << reply.error;
  EXPECT_EQ(names_of(reply), (Lines{"ECHOSTRUCT", "RFCTABLE"}));
  ASSERT_NE(rows_of(reply, "RFCTABLE"), nullptr);
  EXPECT_EQ(*rows_of(reply, "ECHOSTRUCT"), Lines{row});
  EXPECT_EQ(*rows_of(reply, "RFCTABLE"), (Lines{row, row}));
}

TEST(E2eFunction, ReadTableGivesTheRowsOfASelect) {
  E2eSystem sys;
  FunctionClient client(sys);
  FunctionTable fields = table("FIELDS", 103, {"CARRID", "CARRNAME"});
  FunctionCall read{"RFC_READ_TABLE",
                    {exporting("QUERY_TABLE", "SCARR", 30)},
                    {table("OPTIONS", 72, {}), fields, table("DATA", 512, {})}};
  FunctionReply reply = client.run(read);
  EXPECT_FALSE(reply.failed()) << reply.error;
  ASSERT_NE(rows_of(reply, "DATA"), nullptr);
  Lines data;
  for (const auto &r : *rows_of(reply, "DATA")) data.push_back(r.substr(0, 23));

  e2e::SelectClient select(sys);
  e2e::SelectResult r = select.run("<sselect " + select.handles() +
                                       " data=\"Y\"><table name=\"SCARR\"/><field name=\"CARRID\"/>"
                                       "<field name=\"CARRNAME\"/></sselect>",
                                   23);
  EXPECT_FALSE(data.empty());
  EXPECT_EQ(data, r.rows);
}

TEST(E2eFunction, SessionIsSharedAndRenewedAfterASystemFailure) {
  E2eSystem sys;
  FunctionClient client(sys);
  FunctionCall ping{"STFC_CONNECTION", {exporting("REQUTEXT", "x", 10), importing("ECHOTEXT", 10)}, {}};
  int64_t before = sys.last_call();
  EXPECT_FALSE(client.run(ping).failed());
  EXPECT_FALSE(client.run(ping).failed());
  EXPECT_EQ(count_of(sys, before, "LOGON"), 1u) << "two requests of one logon share one session";

  FunctionCall failure{"RFC_RAISE_ERROR", {exporting("METHOD", "3", 1)}, {}};
  Lines lines = client.run_to_close(failure.element(client.logon().handle(), client.data().handle()));
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[lines.size() - 3], "E,RFC Exception: SYSTEM_FAILURE");
  EXPECT_EQ(lines[lines.size() - 2], "");
  EXPECT_EQ(lines.back(), "Warning: RFC Session break caused by invalid RFC handle");
  EXPECT_FALSE(e2e::starting_with(lines, "E,Key        : RFC_ERROR_SYSTEM_FAILURE").empty());

  FunctionReply after = client.run(ping);
  EXPECT_FALSE(after.failed()) << after.error;
  EXPECT_EQ(count_of(sys, before, "LOGON"), 2u) << "the broken session was replaced once";
}

TEST(E2eFunction, CallbacksServeInputTablesAndChunksForTheirDataHandle) {
  E2eSystem sys;
  FunctionClient client(sys);
  FunctionTable input = table("INROWS", 16, {"first row       ", "second row      "}, true);
  auto callbacks = [&](const std::string &dhandle, const std::string &chunk_handle) {
    FunctionCall call{"ZSIM_FUNC_CALLBACKS",
                      {exporting("TABNAME", "INROWS", 30), exporting("DHANDLE", dhandle, 130),
                       exporting("CHUNKNAME", "OUTROWS", 30),
                       exporting("CHUNKHANDLE", chunk_handle, 130)},
                      {input, table("OUTROWS", 16, {})}};
    return call;
  };

  // The request's own connection: text line, chunk, then the end.
  const std::string own_handle = client.request().handle();
  FunctionReply own = client.run(callbacks(own_handle, own_handle));
  EXPECT_FALSE(own.failed()) << own.error;
  EXPECT_EQ(own.lines, Lines{"ZSIM_FUNC_CALLBACKS: 2 rows"});
  ASSERT_NE(rows_of(own, "OUTROWS"), nullptr);
  EXPECT_EQ(*rows_of(own, "OUTROWS"), input.rows);

  // Another registered connection (the logon connection) gets the chunk.
  FunctionReply other = client.run(callbacks(own_handle, client.logon().handle()));
  EXPECT_FALSE(other.failed()) << other.error;
  EXPECT_TRUE(other.data.empty());
  std::string line;
  ASSERT_TRUE(client.logon().read_line(line));
  EXPECT_EQ(line, "ZSIM_FUNC_CALLBACKS: 2 rows");
  ASSERT_TRUE(client.logon().read_line(line));
  EXPECT_EQ(line, "D," + padded("OUTROWS", 30) + ",2");
  qorclient::Record record;
  ASSERT_TRUE(client.logon().read_record(16, record));
  EXPECT_EQ(record.bytes, input.rows[0]);

  // An unregistered handle: R/3 gets the exception, the client an E-line,
  // and the request ends.
  int64_t before = sys.last_call();
  FunctionCall unknown = callbacks("9999no-such-connection", "");
  EXPECT_EQ(client.run_to_close(unknown.element(client.logon().handle(), client.data().handle())),
            Lines{"E,The function module named data handle '9999no-such-connection', which is no "
                  "connection of this server; the call was ended"});
  auto logged = wait_for_calls(sys, before, "CALLBACK Z_QOR_GET_PARAMETER_TABLE");
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find("exception INVALID_DATA_HANDLE"), std::string::npos) << logged[0];

  // The session the failed callback left open is not handed on.
  FunctionCall ping{"STFC_CONNECTION", {exporting("REQUTEXT", "x", 10), importing("ECHOTEXT", 10)}, {}};
  FunctionReply after = client.run(ping);
  EXPECT_FALSE(after.failed()) << after.error << (after.lines.empty() ? "" : after.lines[0]);
}

TEST(E2eFunction, BackgroundJobDeliversThroughTheGateway) {
  E2eSystem sys(3, {"-V", "QORBATCH"});
  FunctionClient client(sys);
  FunctionCall job{"ZSIM_FUNC_JOB", {exporting("DEST", "QORRFC", 32)}, {table("ZJOBROWS", 16, {})}};
  FunctionReply reply = client.run(job);
  EXPECT_FALSE(reply.failed()) << reply.error;
  EXPECT_EQ(names_of(reply), (Lines{"ZJOBROWS", "ZJOBROWS"}));
  Lines rows;
  for (const auto &d : reply.data) rows.insert(rows.end(), d.second.begin(), d.second.end());
  EXPECT_EQ(rows, (Lines{"JOB  ROW 000001 ", "JOB  ROW 000002 ", "JOB  ROW 000003 "}));
  // The request went on only after the gateway loop had ended. "releasing"
  // is logged before the semaphore is posted; "released" after, and so may
  // follow the waiter's "acquired". The client may have read its last
  // row before the waiter logs, so the test waits for the line.
  ASSERT_TRUE(sys.server().wait_for_stderr(
      "Qorrfc_V9function_Request call_req_function - acquired rh sema"));
  std::string log = sys.log();
  size_t released = log.find("handle_callrfc_batch - releasing rh sema");
  size_t acquired = log.find("Qorrfc_V9function_Request call_req_function - acquired rh sema");
  ASSERT_NE(released, std::string::npos);
  ASSERT_NE(acquired, std::string::npos);
  EXPECT_LT(released, acquired);
  FunctionCall ping{"STFC_CONNECTION", {exporting("REQUTEXT", "x", 10), importing("ECHOTEXT", 10)}, {}};
  EXPECT_FALSE(client.run(ping).failed());
}

TEST(E2eFunction, TransportPathRunsTheModuleInR3) {
  E2eSystem sys(1, {"-V", "QORBATCH"});
  FunctionClient client(sys);
  int64_t before = sys.last_call();
  Lines lines = client.run_to_close("<function name=\"ZSIM_FUNC_ROWS\" " + client.handles() +
                                    " metadata=\"Y\"/>");
  EXPECT_EQ(lines, (Lines{"ZSIM_FUNC_ROWS ROW 16", "D," + padded("ZDIAROWS", 30) + ",2",
                          "D," + padded("ZDIAROWS", 30) + ",1"}));
  EXPECT_EQ(e2e::received_value(sys, before, "FUNC_NAME"), "ZSIM_FUNC_ROWS");
  EXPECT_EQ(e2e::received_value(sys, before, "FUNC_FLAG"), "M");

  // A module R/3 runs as a job: rows through the gateway, then "EOF"; a
  // job asking with a number nobody announced gets UNKNOWN_JOB.
  lines = client.run_to_close("<function name=\"ZSIM_FUNC_JOB\" " + client.handles() + "/>");
  EXPECT_EQ(lines, (Lines{"D," + padded("ZJOBROWS", 30) + ",1", "D," + padded("ZJOBROWS", 30) + ",2",
                          "EOF"}));
  lines = client.run_to_close("<function name=\"ZSIM_FUNC_JOB_UNKNOWN\" " + client.handles() + "/>");
  ASSERT_EQ(lines.size(), 1u) << ::testing::PrintToString(lines);
  EXPECT_EQ(lines[0].rfind("E,The background job asked with job number '", 0), 0u) << lines[0];
  r3sim::Stmt s = sys.r3sim().db().prepare(
      "SELECT COUNT(*) FROM TBTCJOBLOG WHERE TEXT = 'Z_QOR_GET_TOKEN raised UNKNOWN_JOB'");
  ASSERT_TRUE(s.step());
  EXPECT_EQ(s.integer(0), 1);
}

TEST(E2eFunction, QorcliCallPrintsValuesAndTables) {
  E2eSystem sys;
  qtest::TempDir dir;
  std::string rows = dir.path() + "/rows.txt";
  {
    std::ofstream out(rows);
    out << "abcdefghijklmnop\n0123456789ABCDEF\n";
  }
  std::vector<std::string> argv{qtest::bin("qorcli"), "call", "ZSIM_FUNC_PARAMS",
                                "--server", "127.0.0.1:" + std::to_string(sys.server_port()),
                                "--ashost", "127.0.0.1", "--sysnr", "00",
                                "--gwserv", std::to_string(sys.r3sim().port()), "--client", "800",
                                "--user", "DEMO", "--password", "welcome1",
                                "--param", "CTEXT:20=Hello", "--import", "UPPER:20",
                                "--import", "INVERTED:8:B", "--table", "ROWS:16=" + rows,
                                "--result", "EMPTY:16"};
  qtest::ChildProcess cli(argv);
  int status = cli.wait_exit(std::chrono::seconds(60));
  EXPECT_EQ(qtest::exit_code(status), 0) << cli.stderr_text();
  EXPECT_EQ(cli.stdout_text(),
            "UPPER=HELLO\nINVERTED=FFFFFFFFFFFFFFFF\nROWS: 3 rows\nponmlkjihgfedcba\n"
            "FEDCBA9876543210\nZSIM_FUNC_PARAMS\n");
}

// R/3 gone while a function module runs: the client gets the RFC error
// block, and calls work again once R/3 is back.
TEST(E2eFunction, R3KilledInMidCallGivesTheRfcErrorBlock) {
  E2eSystem sys;
  FunctionClient client(sys);
  sys.r3sim().db().exec(
      "INSERT INTO ZSIM_FAULTS (FUNCNAME, FAULT, ARG, NTH, TIMES) "
      "VALUES ('STFC_CONNECTION', 'DELAY', '', 5000, 1)");
  FunctionCall ping{"STFC_CONNECTION", {exporting("REQUTEXT", "x", 10), importing("ECHOTEXT", 10)}, {}};
  client.send(ping);
  // R/3 took the delay (its row goes as it fires): the call waits there.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (;;) {
    r3sim::Stmt s = sys.r3sim().db().prepare(
        "SELECT COUNT(*) FROM ZSIM_FAULTS WHERE FUNCNAME = 'STFC_CONNECTION'");
    ASSERT_TRUE(s.step());
    if (s.integer(0) == 0) break;
    ASSERT_LT(std::chrono::steady_clock::now(), deadline);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  sys.r3sim().kill();
  Lines lines = client.request().read_until_closed();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "E,RFC Error:") << ::testing::PrintToString(lines);
  EXPECT_TRUE(sys.server().running());

  sys.r3sim().restart();
  FunctionClient again(sys);
  FunctionReply reply = again.run(ping);
  EXPECT_FALSE(reply.failed()) << reply.error;
}

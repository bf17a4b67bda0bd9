// The batch-compatibility port end to end: qorrfc_server with -b against
// r3sim, whose batch module starts a background job that fetches its
// extraction and delivers the rows through the server's registration at
// the gateway.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "compat_records.h"
#include "compat_session.h"
#include "e2e_system.h"
#include "loopback.h"
#include "password_encoder.h"
#include "wait_until.h"

using qorclient::CompatRecord;
using qorclient::CompatSession;

namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

const char MODULE[] = "/QOR/Z_QOR_BATCH_V8COMPAT";
const char FOREIGN[] =
    "ERROR: Another RFC server is registered at the gateway with the program id assigned to this "
    "server";

bool eventually(const std::function<bool()> &holds) { return qtest::wait_until(holds, 20s); }

bool contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

struct Outcome {
  bool first_ok = false, last_ok = false;
  Lines first, last;  // R's reply lines before each "OK"
  std::vector<CompatRecord> rows;
  bool stream_whole = false;  // D ended at a record boundary
};

class BcompatSystem {
 public:
  int port() const { return port_; }
  // bparms without the port, e.g. "-V QORBATCH".
  explicit BcompatSystem(const std::string &bparms = "-V QORBATCH")
      : port_(qtest::free_port()),
        sys_(1, {"-b", "-p " + std::to_string(port_) + " " + bparms}) {
    EXPECT_TRUE(qtest::wait_for_port(port_)) << sys_.log();
  }
  e2e::E2eSystem &sys() { return sys_; }
  r3sim::SqliteDb &db() { return sys_.r3sim().db(); }
  void sql(const std::string &statement) { db().exec(statement); }
  void fault(const std::string &kind, const std::string &arg = "", int64_t nth = 0,
             const std::string &function = MODULE) {
    r3sim::Stmt s = db().prepare(
        "INSERT INTO ZSIM_FAULTS (FUNCNAME, FAULT, ARG, NTH, TIMES) VALUES (?, ?, ?, ?, 1)");
    s.bind(1, function).bind(2, kind).bind(3, arg).bind(4, nth).step();
  }

  std::unique_ptr<CompatSession> open() {
    auto s = std::make_unique<CompatSession>(20s);
    EXPECT_TRUE(s->open("127.0.0.1", port_)) << s->error();
    return s;
  }
  std::unique_ptr<CompatSession> logon_connection() {
    auto l = open();
    for (const auto &c : qorclient::compat_logon_commands(sys_.logon())) EXPECT_TRUE(l->command(c));
    return l;
  }
  std::unique_ptr<CompatSession> logged_on() {
    auto l = logon_connection();
    EXPECT_TRUE(l->command("CCONNECT")) << l->error() << sys_.log();
    return l;
  }
  // R linked to the logon and to d, the extraction described, DCONNECT sent.
  std::unique_ptr<CompatSession> request(CompatSession &logon, CompatSession &d,
                                         const Lines &commands) {
    auto r = open();
    EXPECT_TRUE(r->command("CHANDLE " + logon.handle()));
    EXPECT_TRUE(r->command("DHANDLE " + d.handle()));
    for (const auto &c : commands) EXPECT_TRUE(r->command(c)) << c;
    EXPECT_TRUE(r->send("DCONNECT"));
    return r;
  }
  Outcome extract(CompatSession &logon, const Lines &commands, size_t length) {
    Outcome o;
    auto d = open();
    auto r = request(logon, *d, commands);
    o.first_ok = r->read_reply(o.first);
    if (!o.first_ok) return o;
    CompatRecord rec;
    while (d->read_record(length, rec)) o.rows.push_back(rec);
    o.stream_whole = d->at_end() && d->error().empty();
    o.last_ok = r->read_reply(o.last);
    return o;
  }
  // The rows r3sim holds, as records of length bytes.
  Lines expected(const std::string &table, const std::string &where, size_t length) {
    auto def = r3sim::Dictionary::find(db(), table);
    Lines rows;
    r3sim::CompatRecords(db(), *def, where, length).run([&](const char *record) {
      rows.emplace_back(record, length);
      return true;
    });
    return rows;
  }
  // The calls of the batch module and the extraction-parameters callback
  // after `after`, as "KIND FUNCNAME|DETAIL|RESULT".
  Lines module_calls(int64_t after) {
    Lines out;
    for (const auto &c : sys_.calls(after))
      if (contains(c, MODULE) || contains(c, "Z_QOR_GET_EXTRACTION_PARAMS")) out.push_back(c);
    return out;
  }
  // Registrations under the demo program id at r3sim's gateway.
  int registrations() {
    std::string progid = "QORRFC", host = "127.0.0.1", serv = std::to_string(sys_.r3sim().port());
    RFC_INT total = -1, init = 0, ready = 0, busy = 0;
    RFC_ERROR_INFO_EX error{};
    RfcCheckRegisterServer(&progid[0], &host[0], &serv[0], &total, &init, &ready, &busy, &error);
    return total;
  }

 private:
  int port_;
  e2e::E2eSystem sys_;
};

Lines bytes_of(const std::vector<CompatRecord> &rows) {
  Lines out;
  for (const auto &r : rows) out.push_back(r.bytes);
  return out;
}

bool all_flagged(const std::vector<CompatRecord> &rows) {
  for (const auto &r : rows)
    if (r.flag != 0x01) return false;
  return true;
}

TEST(E2eBcompat, ExtractionsDeliverTheSimulatorsRowsWithBothOks) {
  BcompatSystem bs;
  bs.sql("INSERT OR REPLACE INTO ZSIM_CONFIG VALUES ('BIW_ACTIVE', 'Y')");
  auto l = bs.logon_connection();
  ASSERT_TRUE(l->command("CCONNECT")) << l->error();
  ASSERT_EQ(l->last_reply().size(), 16u);
  EXPECT_EQ(l->last_reply()[0], "SIPROTO 011");
  EXPECT_EQ(l->last_reply()[15], "SIBWACT Y");

  // Three rows of 80 bytes: 243 bytes on D, each row followed by 0x01.
  int64_t before = bs.sys().last_call();
  std::string where = "CARRID IN ('QA', 'KA', 'LS')";
  Outcome three = bs.extract(*l, {"TABLE SCARR", "LENGTH 80", "WHERESTART", "WHERETXT " + where,
                                  "WHEREEND"},
                             80);
  EXPECT_TRUE(three.first_ok && three.first.empty()) << ::testing::PrintToString(three.first);
  EXPECT_TRUE(three.last_ok && three.last.empty()) << ::testing::PrintToString(three.last);
  EXPECT_TRUE(three.stream_whole);
  Lines rows = bs.expected("SCARR", where, 80);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(bytes_of(three.rows), rows);
  EXPECT_TRUE(all_flagged(three.rows));

  // What R/3 was told: no report (none configured) in any of the three
  // calls, the job name, no target system (gateway flag blank), PBUFMAX
  // from the default minimum buffer size, and the extraction.
  Lines calls = bs.module_calls(before);
  ASSERT_EQ(calls.size(), 3u) << ::testing::PrintToString(calls);
  EXPECT_TRUE(contains(calls[0], std::string("CALL ") + MODULE +
                                     "|Z_QOR_VARIANT=QORBATCH\nZ_QOR_JOBNAME=QORRFC|job "))
      << calls[0];
  EXPECT_TRUE(contains(calls[1], "CALLBACK Z_QOR_GET_EXTRACTION_PARAMS|DHANDLE="));
  EXPECT_TRUE(contains(calls[1], "\nTABLE_NAME=SCARR\nRECORD_LENGTH=00000080\nFORM=GETDATA\nWHERE=" +
                                     where))
      << calls[1];
  EXPECT_EQ(calls[2], std::string("CALL ") + MODULE + "|PBUFMAX=00010000|OK 3 records");
  for (const auto &c : calls) EXPECT_FALSE(contains(c, "Z_QOR_REPORT")) << c;

  // Many chunks of whole rows, on the same logon connection.
  auto width = r3sim::RowLayout(r3sim::Dictionary::find(bs.db(), "SFLIGHT")->fields).width();
  Outcome big = bs.extract(*l, {"TABLE SFLIGHT", "LENGTH " + std::to_string(width + 3)}, width + 3);
  EXPECT_TRUE(big.first_ok && big.last_ok) << ::testing::PrintToString(big.last);
  rows = bs.expected("SFLIGHT", "", width + 3);
  ASSERT_GT(rows.size() * (width + 3), 30000u);
  EXPECT_TRUE(bytes_of(big.rows) == rows) << big.rows.size() << " rows, expected " << rows.size();
  EXPECT_TRUE(all_flagged(big.rows));
  EXPECT_TRUE(eventually([&] { return bs.registrations() == 0; }));
}

// Gateway flag 'X': the host R/3 names is used as it is (its first word)
// and the job gets a target system. Any other flag: the host of the
// application server the logon reached replaces it.
TEST(E2eBcompat, GatewayFlagDecidesTheGatewayHost) {
  BcompatSystem bs("-R /QOR/Z_QOR_READ -V QORBATCH");
  std::string gwserv = std::to_string(bs.sys().r3sim().port());
  bs.fault("GWHOST", "nohost.invalid");
  auto blank_flag = bs.logged_on();
  int64_t before = bs.sys().last_call();
  Outcome o = bs.extract(*blank_flag, {"TABLE SCARR", "LENGTH 20"}, 20);
  EXPECT_TRUE(o.first_ok && o.last_ok) << ::testing::PrintToString(o.first) << bs.sys().log();
  EXPECT_EQ(bytes_of(o.rows), bs.expected("SCARR", "", 20));
  Lines calls = bs.module_calls(before);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_FALSE(contains(calls[0], "Z_QOR_TGTSYSTEM"));
  // A configured report goes with every call.
  EXPECT_TRUE(contains(calls[0], "|Z_QOR_REPORT=/QOR/Z_QOR_READ\n")) << calls[0];
  EXPECT_TRUE(contains(calls[2], "|PBUFMAX=00010000\nZ_QOR_REPORT=/QOR/Z_QOR_READ|OK")) << calls[2];

  bs.sql("UPDATE RFCDES SET GWHOST = '127.0.0.1', GWSERV = '" + gwserv + "' WHERE RFCDEST = 'QORRFC'");
  // Taken whole, the value would also name a gateway that does not exist.
  bs.fault("GWHOST", "127.0.0.1 -g nohost.invalid");
  auto two_words = bs.logged_on();
  before = bs.sys().last_call();
  o = bs.extract(*two_words, {"TABLE SCARR", "LENGTH 20"}, 20);
  EXPECT_TRUE(o.first_ok && o.last_ok) << ::testing::PrintToString(o.first);
  calls = bs.module_calls(before);
  ASSERT_FALSE(calls.empty());
  EXPECT_TRUE(contains(calls[0], "\nZ_QOR_TGTSYSTEM= |job ")) << calls[0];

  // With flag 'X' a host that does not exist is not replaced: the
  // registration fails, R gets the library's error and its loop ends.
  bs.fault("GWHOST", "nohost.invalid");
  auto bad = bs.logged_on();
  auto d = bs.open();
  auto r = bs.request(*bad, *d, {"TABLE SCARR", "LENGTH 20"});
  Lines lines;
  EXPECT_FALSE(r->read_reply(lines));
  ASSERT_GE(lines.size(), 2u) << bs.sys().log();
  EXPECT_EQ(lines[0].rfind("ERROR+ Group=", 0), 0u) << lines[0];
  EXPECT_EQ(lines.back(), "ERROR RFC request terminated");
}

TEST(E2eBcompat, RefusalsAndMessages) {
  BcompatSystem bs;
  // A message of the batch module at CCONNECT: no system lines, no "OK".
  bs.fault("MESSAGE", "Batch extraction is switched off");
  auto refused = bs.logon_connection();
  EXPECT_FALSE(refused->command("CCONNECT"));
  EXPECT_EQ(refused->last_reply(), Lines{"ERROR Batch extraction is switched off"});

  auto l = bs.logged_on();
  // Another program holds the program id: the text (with its own line
  // feed) and the end of R's command loop.
  std::vector<std::string> parts = {"-a", "QORRFC", "-g", "127.0.0.1", "-x",
                                    std::to_string(bs.sys().r3sim().port())};
  std::vector<char *> argv;
  for (auto &p : parts) argv.push_back(&p[0]);
  argv.push_back(nullptr);
  RFC_HANDLE foreign = RfcAccept(argv.data());
  ASSERT_NE(foreign, RFC_HANDLE_NULL);
  {
    auto d = bs.open();
    auto r = bs.request(*l, *d, {"TABLE SCARR", "LENGTH 20"});
    Lines lines;
    EXPECT_FALSE(r->read_reply(lines));
    EXPECT_EQ(lines, (Lines{FOREIGN, ""}));
  }
  RfcClose(foreign);

  // EMSG in a chunk: "ERROR: %s" without a line feed, then both streams end.
  bs.fault("EMSG", "Table was locked", 2);
  auto d = bs.open();
  auto r = bs.request(*l, *d, {"TABLE ZSIM_GEN", "LENGTH 100"});
  Lines lines;
  ASSERT_TRUE(r->read_reply(lines));
  CompatRecord rec;
  size_t rows = 0;
  while (d->read_record(100, rec)) ++rows;
  EXPECT_EQ(rows, 100u);  // the first chunk of 10000 bytes
  EXPECT_TRUE(d->at_end());
  EXPECT_FALSE(r->read_reply(lines));
  EXPECT_EQ(lines, Lines{"ERROR: Table was locked"});
  EXPECT_TRUE(eventually([&] { return bs.registrations() == 0; }));
}

TEST(E2eBcompat, AJobThatCannotStartEndsTheWaitsAndTheRequestGoesOn) {
  BcompatSystem bs;
  auto l = bs.logged_on();
  bs.fault("JOB_START", "no free batch work process", 0, "/QOR/Z_QOR_READ");
  // All open from the start: a data connection that has gone must not be
  // mistaken for a later one.
  auto d = bs.open(), d2 = bs.open(), d3 = bs.open();
  auto r = bs.request(*l, *d, {"TABLE SCARR", "LENGTH 20"});
  Lines lines;
  ASSERT_TRUE(r->read_reply(lines)) << r->error();
  EXPECT_EQ(lines, (Lines{"ERROR+ Exception=JOB_NOT_STARTED", "ERROR RFC request terminated"}));
  // D served its last: its connection ends, its registration is gone.
  CompatRecord rec;
  EXPECT_FALSE(d->read_record(20, rec));
  EXPECT_TRUE(d->at_end());
  EXPECT_TRUE(eventually([&] { return bs.registrations() == 0; }));

  // The connection to R/3 breaking instead: the error lines, then "OK".
  ASSERT_TRUE(r->command("DHANDLE " + d2->handle()));
  bs.fault("DROP");
  ASSERT_TRUE(r->send("DCONNECT"));
  ASSERT_TRUE(r->read_reply(lines));
  ASSERT_GE(lines.size(), 2u) << ::testing::PrintToString(lines);
  EXPECT_EQ(lines[0].rfind("ERROR+ Group=", 0), 0u) << lines[0];
  EXPECT_EQ(lines.back(), "ERROR RFC request terminated");

  // The same request connection runs the next job: no wait passes early,
  // and the job is handed the new data connection, not an old one.
  ASSERT_TRUE(r->command("DHANDLE " + d3->handle()));
  ASSERT_TRUE(r->send("DCONNECT"));
  ASSERT_TRUE(r->read_reply(lines));
  EXPECT_TRUE(lines.empty()) << ::testing::PrintToString(lines);
  std::vector<CompatRecord> got;
  while (d3->read_record(20, rec)) got.push_back(rec);
  EXPECT_EQ(bytes_of(got), bs.expected("SCARR", "", 20));
  EXPECT_TRUE(r->read_reply(lines));
}

TEST(E2eBcompat, ARequestClientGoneDuringTheJobStopsIt) {
  BcompatSystem bs;
  auto l = bs.logged_on();
  bs.fault("CHUNK_DELAY", "", 20);
  int64_t before = bs.sys().last_call();
  auto d = bs.open();
  auto r = bs.request(*l, *d, {"TABLE ZSIM_GEN", "LENGTH 100"});
  Lines lines;
  ASSERT_TRUE(r->read_reply(lines));
  CompatRecord rec;
  ASSERT_TRUE(d->read_record(100, rec));
  r->close();
  // The rows stop; D ends at a record boundary.
  while (d->read_record(100, rec)) {
  }
  EXPECT_TRUE(d->at_end());
  EXPECT_TRUE(eventually([&] {
    for (const auto &c : bs.sys().calls(before))
      if (contains(c, "CALLBACK Z_QOR_DATA_CHUNK|") && contains(c, "|KILLED_BY_QOR")) return true;
    return false;
  }));
  EXPECT_TRUE(eventually([&] { return bs.registrations() == 0; }));
}

// R/3 gone while its job delivers: R carries the RFC error lines in this
// protocol's form before its closing OK, D ends at once, and the next
// extraction works once R/3 is back.
TEST(E2eBcompat, R3KilledInMidJobGivesErrorLinesAndEndsTheRows) {
  BcompatSystem bs;
  auto l = bs.logged_on();
  bs.fault("CHUNK_DELAY", "", 20);
  auto d = bs.open();
  auto r = bs.request(*l, *d, {"TABLE ZSIM_GEN", "LENGTH 100"});
  Lines lines;
  ASSERT_TRUE(r->read_reply(lines));
  CompatRecord rec;
  ASSERT_TRUE(d->read_record(100, rec));
  bs.sys().r3sim().kill();
  auto start = std::chrono::steady_clock::now();
  while (d->read_record(100, rec)) {
  }
  EXPECT_TRUE(d->at_end());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 15s) << "D held open";
  EXPECT_TRUE(r->read_reply(lines)) << r->error();
  ASSERT_GE(lines.size(), 2u) << ::testing::PrintToString(lines);
  EXPECT_EQ(lines.front().rfind("ERROR", 0), 0u) << lines.front();
  EXPECT_EQ(lines.back(), "ERROR RFC request terminated");
  for (const auto &line : lines) EXPECT_NE(line.rfind("E,", 0), 0u) << line;

  bs.sys().r3sim().restart();
  auto again = bs.logged_on();
  Outcome o = bs.extract(*again, {"TABLE SCARR", "LENGTH 20"}, 20);
  EXPECT_TRUE(o.last_ok);
  EXPECT_TRUE(o.stream_whole);
  EXPECT_EQ(o.rows.size(), bs.expected("SCARR", "", 20).size());
}

TEST(E2eBcompat, QorcliCompatBatchPrintsTheRows) {
  BcompatSystem bs;
  qorclient::LogonOptions l = bs.sys().logon();
  qtest::ChildProcess cli({qtest::bin("qorcli"), "compat", "--batch", "--server",
                           "127.0.0.1:" + std::to_string(bs.port()), "--ashost", l.ashost,
                           "--sysnr", l.sysnr, "--gwserv", l.gwserv, "--client", l.client, "--user",
                           l.user, "--password", l.password, "--lang", l.lang, "--table", "SCARR",
                           "--length", "12", "--where", "CARRID NE 'QA'", "--timeout", "20"});
  EXPECT_EQ(qtest::exit_code(cli.wait_exit(30s)), 0) << cli.stderr_text();
  std::string expected;
  for (const auto &row : bs.expected("SCARR", "CARRID NE 'QA'", 12)) expected += row + "\n";
  EXPECT_EQ(cli.stdout_text(), expected);
}

}  // namespace

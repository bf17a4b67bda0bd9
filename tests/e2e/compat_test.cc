// The dialog-compatibility port end to end: r3sim, qorrfc_server with -c
// and the client library's compatibility session (and qorcli compat).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "call_lists.h"
#include "compat_session.h"
#include "dictionary.h"
#include "e2e_system.h"
#include "loopback.h"
#include "password_encoder.h"
#include "row_builder.h"
#include "table_query.h"

using qorclient::CompatRecord;
using qorclient::CompatSession;

namespace {

using namespace std::chrono_literals;

const std::string NO_COMPLETION =
    "ERROR extraction ended without positive confimation of completions";
const std::string WITH_ERRORS = "ERROR extraction ended with errors";
const char MODULE[] = "/QOR/Z_QOR_READ_TABLE_V8COMPAT";

struct Outcome {
  bool first_ok = false, last_ok = false;
  std::vector<std::string> first, last;  // R's reply lines before each "OK"
  std::vector<CompatRecord> records;
  bool stream_whole = false;  // D ended at a record boundary
};

class CompatSystem {
 public:
  explicit CompatSystem(int debug_level = 1)
      : port_(qtest::free_port()), sys_(debug_level, {"-c", std::to_string(port_)}) {
    EXPECT_TRUE(qtest::wait_for_port(port_)) << sys_.log();
  }
  e2e::E2eSystem &sys() { return sys_; }
  int port() const { return port_; }

  std::unique_ptr<CompatSession> open() {
    auto s = std::make_unique<CompatSession>(20s);
    EXPECT_TRUE(s->open("127.0.0.1", port_)) << s->error();
    return s;
  }
  // A logon connection with its CPARM lines sent; CCONNECT is the test's.
  std::unique_ptr<CompatSession> logon_connection(const std::string &password = "welcome1") {
    auto l = open();
    for (std::string p : {"u DEMO", "c 800", "l E", "h 127.0.0.1", "s 00"})
      EXPECT_TRUE(l->command("CPARM " + p));
    EXPECT_TRUE(l->command("CPARM p " + qorclient::encode_password(password)));
    EXPECT_TRUE(l->command("CPARM x " + std::to_string(sys_.r3sim().port())));
    return l;
  }
  std::unique_ptr<CompatSession> logged_on() {
    auto l = logon_connection();
    EXPECT_TRUE(l->command("CCONNECT")) << l->error();
    return l;
  }
  // Runs an extraction on new request and data connections.
  Outcome extract(CompatSession &logon, const std::vector<std::string> &commands,
                  size_t record_length) {
    Outcome o;
    auto d = open(), r = open();
    EXPECT_TRUE(r->command("CHANDLE " + logon.handle()));
    EXPECT_TRUE(r->command("DHANDLE " + d->handle()));
    for (const auto &c : commands) EXPECT_TRUE(r->command(c)) << c;
    EXPECT_TRUE(r->send("DCONNECT"));
    o.first_ok = r->read_reply(o.first);
    if (!o.first_ok || !o.first.empty()) return o;
    CompatRecord rec;
    while (d->read_record(record_length, rec)) o.records.push_back(rec);
    o.stream_whole = d->at_end() && d->error().empty();
    o.last_ok = r->read_reply(o.last);
    return o;
  }
  void sql(const std::string &statement) { sys_.r3sim().db().exec(statement); }
  // R linked to l and d for the generated table in records of 100 bytes,
  // DCONNECT sent; true once its first "OK" (the data starts) arrived.
  bool start_long_extraction(CompatSession &l, CompatSession &d, CompatSession &r,
                             std::vector<std::string> &lines) {
    for (std::string c : {"CHANDLE " + l.handle(), "DHANDLE " + d.handle(),
                          std::string("TABLE ZSIM_GEN"), std::string("LENGTH 100")})
      if (!r.command(c)) return false;
    return r.send("DCONNECT") && r.read_reply(lines);
  }

 private:
  int port_;
  e2e::E2eSystem sys_;
};

// The rows of a table as the simulator lays them out, each cut or padded
// with blanks to record_length.
std::vector<std::string> simulator_rows(r3sim::SqliteDb &db, const std::string &table,
                                        const std::string &where, size_t record_length) {
  auto def = r3sim::Dictionary::find(db, table);
  EXPECT_TRUE(def.has_value());
  r3sim::TableSelect select;
  select.fields = def->fields;
  select.where = where;
  r3sim::TableQuery query(db, *def, select);
  r3sim::RowLayout layout(select.fields);
  std::vector<std::string> rows;
  query.run([&](const std::vector<r3sim::Value> &values) {
    std::string row(layout.width(), '\0');
    r3sim::RowBuilder::build_row(layout, values, row.data());
    row.resize(record_length, ' ');
    rows.push_back(row);
    return true;
  });
  return rows;
}

std::vector<std::string> texts(const std::vector<CompatRecord> &records, CompatRecord::Kind kind) {
  std::vector<std::string> out;
  for (const auto &r : records)
    if (r.kind == kind) out.push_back(r.bytes);
  return out;
}

// The message records a text becomes in records of width.
std::vector<std::string> message_records(const std::string &text, size_t width) {
  std::vector<std::string> out;
  for (size_t at = 0; at < text.size(); at += width) {
    std::string piece = text.substr(at, width);
    piece.resize(width, ' ');
    out.push_back(piece);
  }
  return out;
}

std::string padded(const std::string &text, size_t width = 256) {
  return text + std::string(width - text.size(), ' ');
}

TEST(E2eCompat, CconnectReportsTheSystemAndTheLogonOutlivesItsClient) {
  CompatSystem cs;
  RFC_HANDLE h = cs.sys().r3sim().logon();
  char rfcsi[200];
  r3sim::ParamList none, imp;
  imp.add("RFCSI_EXPORT", rfcsi, sizeof rfcsi);
  char *exception = nullptr;
  ASSERT_EQ(RfcCallReceive(h, const_cast<char *>("RFC_SYSTEM_INFO"), none.get(), imp.get(),
                           nullptr, &exception),
            RFC_OK);
  RfcClose(h);
  auto field = [&](int offset, int width) { return std::string(rfcsi + offset, width); };
  std::vector<std::string> expected = {
      "SIPROTO " + field(0, 3),     "SICHRTYPE " + field(3, 4),  "SIINTTYPE " + field(7, 3),
      "SIFLTTYPE " + field(10, 3),  "SIDEST " + field(13, 32),   "SIHOST " + field(45, 8),
      "SISYSID " + field(53, 8),    "SIDATABS " + field(61, 8),  "SIDBHOST " + field(69, 32),
      "SISAPRL " + field(111, 4),   "SIMACH " + field(115, 5),   "SIOPSYS " + field(120, 10),
      "SITZONE " + field(130, 6),   "SIDAYST " + field(136, 1),  "SIIPADDR " + field(137, 15),
      "SIBWACT N"};

  auto l = cs.logon_connection();
  ASSERT_TRUE(l->command("CCONNECT")) << l->error();
  EXPECT_EQ(l->last_reply(), expected);

  // Its client goes; the connection stays for others to name.
  std::string handle = l->handle();
  l->close();
  auto r = cs.open();
  EXPECT_TRUE(r->command("CHANDLE " + handle));
  EXPECT_TRUE(r->command("DISCONNECT " + handle));
  bool released = false;
  for (int i = 0; i < 200 && !released; ++i) {
    auto probe = cs.open();
    released = !probe->command("CHANDLE " + handle);
    if (released) EXPECT_EQ(probe->last_reply()[0], "ERROR: CHANDLE not found");
    else std::this_thread::sleep_for(50ms);  // the worker notices within a second
  }
  EXPECT_TRUE(released) << "DISCONNECT did not release the logon connection";

  // A refused logon: the library's error lines, and the connection ends.
  auto bad = cs.logon_connection("wrong");
  EXPECT_FALSE(bad->command("CCONNECT"));
  const auto &lines = bad->last_reply();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "ERROR+ Group=103, Key=RFC_ERROR_LOGON_FAILURE");
  EXPECT_EQ(lines[1], "ERROR+ Message=Name or password is incorrect (repeat logon)");
  EXPECT_EQ(lines.back(), "ERROR RFC request terminated");
}

TEST(E2eCompat, ExtractedRecordsAreTheSimulatorsRows) {
  CompatSystem cs;
  auto l = cs.logged_on();
  int64_t before = cs.sys().last_call();

  // Records of 10 bytes in chunks of 25: records run across chunks.
  cs.sql("INSERT INTO ZSIM_CONFIG (NAME, VALUE) VALUES ('COMPAT_CHUNK_BYTES', '25')");
  Outcome small = cs.extract(*l, {"TABLE SCARR", "LENGTH 10"}, 10);
  EXPECT_TRUE(small.first_ok && small.first.empty());
  EXPECT_TRUE(small.last_ok && small.last.empty());
  EXPECT_TRUE(small.stream_whole);
  auto expected = simulator_rows(cs.sys().r3sim().db(), "SCARR", "", 10);
  ASSERT_GT(expected.size(), 3u);
  EXPECT_EQ(texts(small.records, CompatRecord::Kind::kData), expected);
  EXPECT_TRUE(texts(small.records, CompatRecord::Kind::kMessage).empty());

  // Whole rows padded with blanks, two where lines, the default chunks.
  cs.sql("DELETE FROM ZSIM_CONFIG WHERE NAME = 'COMPAT_CHUNK_BYTES'");
  auto width = r3sim::RowLayout(r3sim::Dictionary::find(cs.sys().r3sim().db(), "SFLIGHT")->fields)
                   .width();
  Outcome big = cs.extract(*l,
                           {"TABLE SFLIGHT", "LENGTH " + std::to_string(width + 3), "WHERESTART",
                            "WHERETXT CARRID EQ 'LS'", "WHERETXT AND CONNID EQ '3500'",
                            "WHEREEND"},
                           width + 3);
  EXPECT_TRUE(big.last_ok);
  expected = simulator_rows(cs.sys().r3sim().db(), "SFLIGHT",
                            "CARRID EQ 'LS' AND CONNID EQ '3500'", width + 3);
  ASSERT_GT(expected.size(), 10u);
  EXPECT_EQ(texts(big.records, CompatRecord::Kind::kData), expected);

  // What R/3 was handed: the request connection's parameter lines, the
  // logon connection's extraction values and the decoded password.
  auto calls = e2e::starting_with(cs.sys().calls(before), std::string("CALL ") + MODULE);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], std::string("CALL ") + MODULE +
                          "|TABLE_NAME=SCARR\nRECORD_LENGTH=10\nUSER=DEMO\nCLIENT=800\n"
                          "LANGUAGE=E\nPASSWORD=OK|OK " +
                          std::to_string(small.records.size()) + " records");
  EXPECT_NE(calls[1].find("\nWHERE=CARRID EQ 'LS' AND CONNID EQ '3500' |OK"), std::string::npos)
      << calls[1];
}

TEST(E2eCompat, ExtractionsThatEndWithoutConfirmation) {
  CompatSystem cs;
  // Before any data: a line on the request connection.
  auto ping = cs.logon_connection();
  ASSERT_TRUE(ping->command("FMOD RFC_PING"));
  ASSERT_TRUE(ping->command("CCONNECT"));
  Outcome quiet = cs.extract(*ping, {"TABLE SCARR", "LENGTH 20"}, 20);
  EXPECT_TRUE(quiet.first_ok);
  EXPECT_EQ(quiet.first, std::vector<std::string>{NO_COMPLETION});

  // After data: message records on the data connection.
  auto l = cs.logged_on();
  cs.sql(std::string("INSERT INTO ZSIM_FAULTS (FUNCNAME, FAULT, TIMES) VALUES ('") + MODULE +
         "', 'NO_COMPLETION', 1)");
  Outcome data = cs.extract(*l, {"TABLE SCARR", "LENGTH 20"}, 20);
  EXPECT_TRUE(data.last_ok);
  EXPECT_FALSE(texts(data.records, CompatRecord::Kind::kData).empty());
  EXPECT_EQ(texts(data.records, CompatRecord::Kind::kMessage), message_records(NO_COMPLETION, 20));
}

TEST(E2eCompat, MessagesOfTheFunctionModule) {
  CompatSystem cs;
  auto l = cs.logged_on();
  // Refused before any data: the message-table lines, full width.
  Outcome none = cs.extract(*l, {"TABLE NOSUCH", "LENGTH 10"}, 10);
  EXPECT_TRUE(none.first_ok);
  EXPECT_EQ(none.first,
            (std::vector<std::string>{padded("Table NOSUCH does not exist"), WITH_ERRORS}));

  // After data: a message of 25 characters in records of 10.
  cs.sql(std::string("INSERT INTO ZSIM_FAULTS (FUNCNAME, FAULT, ARG, TIMES) VALUES ('") + MODULE +
         "', 'MESSAGE', '0123456789abcdefghijABCDE', 1)");
  Outcome data = cs.extract(*l, {"TABLE SCARR", "LENGTH 10"}, 10);
  EXPECT_TRUE(data.last_ok);
  std::vector<std::string> expected = {"0123456789", "abcdefghij", "ABCDE     "};
  for (const auto &m : message_records(WITH_ERRORS, 10)) expected.push_back(m);
  EXPECT_EQ(texts(data.records, CompatRecord::Kind::kMessage), expected);
  EXPECT_EQ(data.records.back().bytes, expected.back());
}

TEST(E2eCompat, DataConnectionClosingMidTransferStopsR3) {
  CompatSystem cs;
  auto l = cs.logged_on();
  int64_t before = cs.sys().last_call();
  auto d = cs.open(), r = cs.open();
  std::vector<std::string> lines;
  ASSERT_TRUE(cs.start_long_extraction(*l, *d, *r, lines));
  CompatRecord rec;
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(d->read_record(100, rec));
  d->close();
  EXPECT_TRUE(r->read_reply(lines)) << r->error();
  auto calls = cs.sys().calls(before);
  EXPECT_EQ(e2e::starting_with(calls, "CALLBACK CALLER_D"),
            std::vector<std::string>{"CALLBACK CALLER_D||exception KILLED_BY_QOR"});
  auto call = e2e::starting_with(calls, std::string("CALL ") + MODULE);
  ASSERT_EQ(call.size(), 1u);
  EXPECT_NE(call[0].find("|CALLER_D exception KILLED_BY_QOR"), std::string::npos) << call[0];
}

// R/3 gone in mid transfer: the records stop with the incomplete end's
// message, the request connection carries the RFC error lines, and the
// next extraction works once R/3 is back.
TEST(E2eCompat, R3KilledInMidExtractionGivesErrorLines) {
  CompatSystem cs;
  auto l = cs.logged_on();
  cs.sql(std::string("INSERT INTO ZSIM_FAULTS (FUNCNAME, FAULT, NTH, TIMES) VALUES ('") + MODULE +
         "', 'SLOW_CHUNK', 20, 1)");
  auto d = cs.open(), r = cs.open();
  std::vector<std::string> lines;
  ASSERT_TRUE(cs.start_long_extraction(*l, *d, *r, lines));
  CompatRecord rec;
  ASSERT_TRUE(d->read_record(100, rec));
  cs.sys().r3sim().kill();
  std::vector<CompatRecord> records;
  while (d->read_record(100, rec)) records.push_back(rec);
  EXPECT_TRUE(d->at_end());
  // A record cut short is completed first; the incomplete end's message
  // comes last.
  std::vector<std::string> messages = texts(records, CompatRecord::Kind::kMessage);
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back(), message_records(NO_COMPLETION, 100).front());
  EXPECT_FALSE(r->read_reply(lines)) << "no final OK after a failed call";
  ASSERT_GE(lines.size(), 2u) << ::testing::PrintToString(lines);
  EXPECT_EQ(lines.front().rfind("ERROR+ Group=", 0), 0u) << lines.front();
  EXPECT_EQ(lines.back(), "ERROR RFC request terminated");

  cs.sys().r3sim().restart();
  auto again = cs.logged_on();
  Outcome o = cs.extract(*again, {"TABLE SCARR", "LENGTH 10"}, 10);
  EXPECT_TRUE(o.last_ok);
  EXPECT_FALSE(texts(o.records, CompatRecord::Kind::kData).empty());
}

TEST(E2eCompat, QorcliCompatPrintsTheRecords) {
  CompatSystem cs;
  qorclient::LogonOptions l = cs.sys().logon();
  auto run = [&](const std::string &table) {
    auto cli = std::make_unique<qtest::ChildProcess>(std::vector<std::string>{
        qtest::bin("qorcli"), "compat", "--server", "127.0.0.1:" + std::to_string(cs.port()),
        "--ashost", l.ashost, "--sysnr", l.sysnr, "--gwserv", l.gwserv, "--client", l.client,
        "--user", l.user, "--password", l.password, "--lang", l.lang, "--table", table,
        "--length", "12", "--where", "CARRID NE 'XX'", "--timeout", "20"});
    cli->wait_exit(30s);
    return cli;
  };
  auto good = run("SCARR");
  EXPECT_EQ(qtest::exit_code(good->wait_exit()), 0) << good->stderr_text();
  std::string expected;
  for (const auto &row : simulator_rows(cs.sys().r3sim().db(), "SCARR", "CARRID NE 'XX'", 12))
    expected += row + "\n";
  EXPECT_EQ(good->stdout_text(), expected);

  auto bad = run("NOSUCH");
  EXPECT_EQ(qtest::exit_code(bad->wait_exit()), 1);
  EXPECT_NE(bad->stderr_text().find(WITH_ERRORS + "\n"), std::string::npos) << bad->stderr_text();
}

}  // namespace

TEST(E2eCompat, PasswordNeverReachesTheLog) {
  CompatSystem cs(4);
  const std::string secret = "Zq7-compat-secret";
  cs.sql("UPDATE USR02 SET PASSWORD = '" + secret + "' WHERE BNAME = 'DEMO'");
  auto l = cs.logon_connection(secret);
  ASSERT_TRUE(l->command("CCONNECT")) << l->error();
  Outcome o = cs.extract(*l, {"TABLE SCARR", "LENGTH 10"}, 10);
  EXPECT_TRUE(o.last_ok);
  EXPECT_FALSE(o.records.empty());
  // The encoded form decodes to the password: it is as secret.
  std::string log = cs.sys().log();
  EXPECT_EQ(log.find(secret), std::string::npos) << "password found in the log";
  EXPECT_EQ(log.find(qorclient::encode_password(secret)), std::string::npos)
      << "encoded password found in the log";
}

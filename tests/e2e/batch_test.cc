// Batch selects through the main port: the data connection registers at
// r3sim's gateway, r3sim's background job calls it and the rows arrive as
// in dialog mode. Also the refusals, several registrations under one
// program id, and the ways a batch extraction ends early.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <thread>

#include "row_builder.h"
#include "select_support.h"

using e2e::E2eSystem;
using e2e::extraction_jobs;
using e2e::registrations;
using e2e::SelectClient;
using e2e::SelectResult;
using qorclient::Record;

namespace {

using Lines = std::vector<std::string>;
const char kProgid[] = "QORRFC";
const char kForeignText[] =
    "E,Another RFC server is registered at the gateway with the program id assigned to this server";

std::vector<std::string> batch_args() { return {"-V", "QORBATCH"}; }

size_t width_of(const std::vector<r3sim::AbapField> &fields) {
  return r3sim::RowLayout(fields).width();
}

std::string sselect(const SelectClient &client, bool batch, const std::string &table,
                    const std::string &where = "") {
  return "<sselect " + client.handles() + " data=\"Y\"" + (batch ? " batch=\"Y\"" : "") +
         "><table name=\"" + table + "\"/>" +
         (where.empty() ? "" : "<where>" + where + "</where>") + "</sselect>";
}

// Another program's registration under the program id at r3sim's gateway.
RFC_HANDLE register_foreign(E2eSystem &sys) {
  std::vector<std::string> parts = {"-a", kProgid, "-g", "127.0.0.1", "-x",
                                    std::to_string(sys.r3sim().port())};
  std::vector<char *> argv;
  for (auto &p : parts) argv.push_back(&p[0]);
  argv.push_back(nullptr);
  return RfcAccept(argv.data());
}

// r3sim's state changes with no line to wait for: it is looked at again
// until it holds or the time is up.
bool eventually(const std::function<bool()> &holds) {
  return qtest::wait_until(holds, std::chrono::seconds(20));
}

bool contains(const std::string &text, const std::string &part) {
  return text.find(part) != std::string::npos;
}

void set_config(E2eSystem &sys, const std::string &name, const std::string &value) {
  r3sim::Stmt s = sys.r3sim().db().prepare("INSERT OR REPLACE INTO ZSIM_CONFIG VALUES (?, ?)");
  s.bind(1, name).bind(2, value).step();
}

// The generated table streams as long as a test needs: each chunk of
// 10000 bytes waits 20 ms.
void slow_chunks(E2eSystem &sys) {
  set_config(sys, "BATCH_BUFMAX", "10000");
  e2e::add_fault(sys, "CHUNK_DELAY", "", 20);
}

const size_t kGenWidth = 100;

// A slowed select of the generated table (in batch mode unless told
// otherwise) whose first record has arrived; null when none came.
std::unique_ptr<qorclient::MainSession> in_mid_transfer(E2eSystem &sys, SelectClient &client,
                                                        bool batch = true) {
  slow_chunks(sys);
  auto request = client.send(sselect(client, batch, "ZSIM_GEN"));
  Record record;
  if (!client.data().read_record(kGenWidth, record)) return nullptr;
  return request;
}

// After a broken extraction: the next batch select is served as usual.
void expect_batch_select_served(E2eSystem &sys) {
  SelectClient next(sys);
  auto layout = e2e::dictionary_fields(sys, "SCARR");
  SelectResult r = next.run(sselect(next, true, "SCARR"), width_of(layout));
  EXPECT_EQ(r.lines, Lines{"OK"});
  EXPECT_EQ(r.last.kind, Record::Kind::kEnd);
}

}  // namespace

TEST(E2eBatch, DeliversTheRecordsOfTheDialogSelectAndUnregistersAtTheEnd) {
  E2eSystem sys(1, batch_args());
  SelectClient client(sys);
  auto layout = e2e::dictionary_fields(sys, "SBOOK");
  size_t width = width_of(layout);
  std::string where = "CARRID = 'PA' OR CARRID = 'QA'";
  SelectResult dialog = client.run(sselect(client, false, "SBOOK", where), width);
  ASSERT_EQ(dialog.lines, Lines{"OK"});
  ASSERT_FALSE(dialog.rows.empty());

  int64_t before = sys.last_call();
  std::string dhandle = client.dhandle();
  SelectResult batch = client.run(sselect(client, true, "SBOOK", where), width);
  EXPECT_EQ(batch.lines, Lines{"OK"});
  EXPECT_TRUE(batch.rows == dialog.rows) << batch.rows.size() << " rows, dialog " << dialog.rows.size();
  EXPECT_EQ(batch.last.kind, Record::Kind::kEnd);
  EXPECT_TRUE(batch.data_closed);

  // What R/3 was asked: the job's report and variant, then, on the job's
  // conversation, the select with the job's buffer size and destination.
  Lines calls = e2e::starting_with(sys.calls(before), "CALL /QOR/Z_QOR_DIALOG|");
  ASSERT_EQ(calls.size(), 2u) << ::testing::PrintToString(calls);
  EXPECT_EQ(calls[0], "CALL /QOR/Z_QOR_DIALOG|PDEST=BACK\nPREPORT=/QOR/Z_QOR_READ\n"
                      "PVARIANT=QORBATCH\nPBUFMAX= |");
  EXPECT_EQ(calls[1], "CALL /QOR/Z_QOR_DIALOG|PDEST=BACK|");
  EXPECT_EQ(e2e::received_value(sys, before, "BLOCKSIZE"), "01048576");
  EXPECT_EQ(e2e::received_value(sys, before, "DEST"), "QORRFC");
  EXPECT_EQ(e2e::received_value(sys, before, "DHANDLE"), dhandle);

  // The job ends when the callback returns; the registration is gone once
  // the last chunk was delivered.
  ASSERT_TRUE(eventually([&] { return !extraction_jobs(sys).empty() && extraction_jobs(sys)[0][0] == 'F'; }))
      << ::testing::PrintToString(extraction_jobs(sys));
  EXPECT_TRUE(contains(extraction_jobs(sys)[0], "Calling Z_QOR_BATCH_CALLBACK1 of program QORRFC"));
  EXPECT_TRUE(contains(extraction_jobs(sys)[0], "|Extraction delivered|Job finished"));
  EXPECT_EQ(registrations(sys), 0);

  // No dialog row limit binds a job.
  set_config(sys, "DIALOG_ROWLIMIT", "10");
  SelectResult limited = client.run(sselect(client, false, "SBOOK", where), width);
  EXPECT_EQ(limited.lines.at(0), "E,RFC Exception: DIALOG_ROWLIMIT_EXCEEDED");
  batch = client.run(sselect(client, true, "SBOOK", where), width);
  EXPECT_EQ(batch.lines, Lines{"OK"});
  EXPECT_EQ(batch.rows.size(), dialog.rows.size());
}

TEST(E2eBatch, RefusedWhenR3OrTheServerCannotRunIt) {
  E2eSystem sys(1, batch_args());
  SelectClient client(sys);
  e2e::add_fault(sys, "BATMESS", "Batch is switched off tonight", 0);
  SelectClient refused(sys);  // its logon learnt the BATMESS
  SelectResult r = refused.run(sselect(refused, true, "SCARR"), 0);
  EXPECT_EQ(r.lines, Lines{"E,Batch is switched off tonight"});
  // The other logon's system information had none.
  r = client.run(sselect(client, true, "SCARR"), 0);
  EXPECT_EQ(r.lines.at(0), "OK");

  // R/3 names no reason (no BATMESS) while the server has no variant.
  E2eSystem plain(sys, 1, {});
  e2e::add_fault(sys, "BATMESS", "", 0);
  SelectClient no_variant(plain);
  int64_t before = plain.last_call();
  r = no_variant.run(sselect(no_variant, true, "SCARR"), 0);
  EXPECT_EQ(r.lines, Lines{"E,Batch requested but RFC server has no variant"});
  EXPECT_TRUE(e2e::starting_with(plain.calls(before), "CALL").empty());
}

TEST(E2eBatch, R3sErrorMessageEndsTheJobAndTheRegistration) {
  E2eSystem sys(1, batch_args());
  SelectClient client(sys);
  SelectResult r = client.run(sselect(client, true, "ZNOPE"), 0);
  EXPECT_EQ(r.lines, (Lines{"OK", "E,Table ZNOPE is not known"}));
  ASSERT_TRUE(eventually([&] { return !extraction_jobs(sys).empty() && extraction_jobs(sys)[0][0] != 'R'; }))
      << ::testing::PrintToString(extraction_jobs(sys));
  EXPECT_EQ(extraction_jobs(sys)[0][0], 'F') << extraction_jobs(sys)[0];
  EXPECT_TRUE(eventually([&] { return registrations(sys) == 0; }));
}

TEST(E2eBatch, AForeignRegistrationUnderTheProgramIdIsRefused) {
  E2eSystem sys(1, batch_args());
  SelectClient client(sys);
  RFC_HANDLE foreign = register_foreign(sys);
  ASSERT_NE(foreign, RFC_HANDLE_NULL);
  ASSERT_EQ(registrations(sys), 1);

  int64_t before = sys.last_call();
  SelectResult r = client.run(sselect(client, true, "SCARR"), 0);
  // The text carries its own newline: the client reads an empty line.
  EXPECT_EQ(r.lines, (Lines{kForeignText, ""}));
  EXPECT_EQ(registrations(sys), 1);
  EXPECT_TRUE(e2e::starting_with(sys.calls(before), "CALL").empty());
  EXPECT_TRUE(extraction_jobs(sys).empty());

  // Once it is gone, the server registers again.
  RfcClose(foreign);
  ASSERT_TRUE(eventually([&] { return registrations(sys) == 0; }));
  auto layout = e2e::dictionary_fields(sys, "SCARR");
  r = client.run(sselect(client, true, "SCARR"), width_of(layout));
  EXPECT_EQ(r.lines, Lines{"OK"});
  EXPECT_EQ(r.last.kind, Record::Kind::kEnd);
  EXPECT_FALSE(r.rows.empty());
}

TEST(E2eBatch, ASecondServerIsRefusedWhileTheFirstHoldsTheProgramId) {
  E2eSystem first(1, batch_args());
  E2eSystem second(first, 1, batch_args());
  SelectClient one(first), two(second);
  slow_chunks(first);
  auto request = one.send(sselect(one, true, "ZSIM_GEN", "ROWNO LE '0000002000'"));
  Record record;
  ASSERT_TRUE(one.data().read_record(kGenWidth, record));
  ASSERT_EQ(record.kind, Record::Kind::kRow);
  EXPECT_EQ(registrations(first), 1);

  SelectResult refused = two.run(sselect(two, true, "SCARR"), 0);
  EXPECT_EQ(refused.lines, (Lines{kForeignText, ""}));

  size_t rows = 1;
  while (one.data().read_record(kGenWidth, record) && record.kind == Record::Kind::kRow) ++rows;
  EXPECT_EQ(rows, 2000u);
  EXPECT_EQ(record.kind, Record::Kind::kEnd);
  EXPECT_EQ(request->read_until_closed(), Lines{"OK"});
  EXPECT_TRUE(eventually([&] { return registrations(first) == 0; }));
}

TEST(E2eBatch, ConcurrentExtractionsUnderOneProgramIdKeepTheirOwnRows) {
  E2eSystem sys(1, batch_args());
  SelectClient a(sys), b(sys);
  set_config(sys, "BATCH_BUFMAX", "10000");
  auto layout = e2e::dictionary_fields(sys, "SBOOK");
  size_t width = width_of(layout);
  std::string where_a = "CARRID = 'PA'", where_b = "CARRID NE 'PA'";
  SelectResult dialog_a = a.run(sselect(a, false, "SBOOK", where_a), width);
  SelectResult dialog_b = b.run(sselect(b, false, "SBOOK", where_b), width);
  ASSERT_FALSE(dialog_a.rows.empty());
  ASSERT_FALSE(dialog_b.rows.empty());
  ASSERT_NE(dialog_a.rows.size(), dialog_b.rows.size());

  // Both held at the gateway at once: each waits for its first chunk.
  e2e::add_fault(sys, "CHUNK_DELAY", "", 30);
  e2e::add_fault(sys, "CHUNK_DELAY", "", 30);
  SelectResult batch_a, batch_b;
  std::thread ta([&] { batch_a = a.run(sselect(a, true, "SBOOK", where_a), width); });
  std::thread tb([&] { batch_b = b.run(sselect(b, true, "SBOOK", where_b), width); });
  ta.join();
  tb.join();
  EXPECT_EQ(batch_a.lines, Lines{"OK"});
  EXPECT_EQ(batch_b.lines, Lines{"OK"});
  EXPECT_TRUE(batch_a.rows == dialog_a.rows) << batch_a.rows.size() << " rows";
  EXPECT_TRUE(batch_b.rows == dialog_b.rows) << batch_b.rows.size() << " rows";
  EXPECT_TRUE(eventually([&] { return registrations(sys) == 0; }));
  EXPECT_EQ(extraction_jobs(sys).size(), 2u);
}

// The gateway counts a registration the server has closed until it has
// seen the close. Right after one of its own ended, the server waits a
// surplus out instead of refusing at once; here a registration that goes
// away a moment after the request stands for it.
TEST(E2eBatch, ASurplusRightAfterOwnUnregistrationIsWaitedOut) {
  E2eSystem sys(1, batch_args());
  SelectClient client(sys);
  size_t width = width_of(e2e::dictionary_fields(sys, "SCARR"));
  ASSERT_EQ(client.run(sselect(client, true, "SCARR"), width).lines, Lines{"OK"});

  RFC_HANDLE lingering = register_foreign(sys);
  ASSERT_NE(lingering, RFC_HANDLE_NULL);
  std::thread gone([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    RfcClose(lingering);
  });
  SelectResult r = client.run(sselect(client, true, "SCARR"), width);
  gone.join();
  EXPECT_EQ(r.lines, Lines{"OK"});
  EXPECT_EQ(r.last.kind, Record::Kind::kEnd);
}

TEST(E2eBatch, AClientGoneDuringTheExtractionStopsTheJobOnly) {
  E2eSystem sys(1, batch_args());
  SelectClient client(sys);
  auto request = in_mid_transfer(sys, client);
  ASSERT_NE(request, nullptr);
  Record record;
  request->close();
  client.data().close();
  ASSERT_TRUE(eventually([&] { return !extraction_jobs(sys).empty() && extraction_jobs(sys)[0][0] == 'A'; }))
      << ::testing::PrintToString(extraction_jobs(sys));
  EXPECT_TRUE(contains(extraction_jobs(sys)[0], "Z_QOR_BATCH_CALLBACK1 raised KILLED_BY_QOR|Job cancelled"));
  EXPECT_TRUE(eventually([&] { return registrations(sys) == 0; }));

  expect_batch_select_served(sys);
}

TEST(E2eBatch, StopSignalDuringTheExtractionEndsInOrder) {
  E2eSystem sys(1, batch_args());
  SelectClient client(sys);
  auto request = in_mid_transfer(sys, client);
  ASSERT_NE(request, nullptr);
  Record record;
  struct stat st;
  ASSERT_EQ(::stat(sys.pid_file().c_str(), &st), 0);
  int status = sys.server().stop(SIGTERM, std::chrono::seconds(10));
  EXPECT_EQ(qtest::exit_code(status), 0) << sys.log();
  EXPECT_NE(::stat(sys.pid_file().c_str(), &st), 0) << "pid file left behind";
  // The job learnt that its extraction was stopped.
  ASSERT_TRUE(eventually([&] { return !extraction_jobs(sys).empty() && extraction_jobs(sys)[0][0] == 'A'; }));
  EXPECT_TRUE(contains(extraction_jobs(sys)[0], "KILLED_BY_QOR"));
  while (client.data().read_record(kGenWidth, record) && record.kind == Record::Kind::kRow) {
  }
  EXPECT_EQ(record.kind, Record::Kind::kError);
  Lines lines = request->read_until_closed();
  EXPECT_EQ(lines.back(), "E,Extraction stopped: the RFC server is stopping");
}

TEST(E2eBatch, AJobThatCannotStartEndsTheRequestAndItsRegistration) {
  E2eSystem sys(1, batch_args());
  SelectClient client(sys);
  r3sim::Stmt s = sys.r3sim().db().prepare(
      "INSERT INTO ZSIM_FAULTS (FUNCNAME, FAULT, ARG, TIMES) "
      "VALUES ('/QOR/Z_QOR_READ', 'JOB_START', 'no free batch work process', 1)");
  s.step();
  SelectResult r = client.run(sselect(client, true, "SCARR"), 0);
  ASSERT_GE(r.lines.size(), 3u) << ::testing::PrintToString(r.lines);
  EXPECT_EQ(r.lines[0], "E,RFC Error:");
  bool reason = false;
  for (const auto &line : r.lines) reason |= contains(line, "no free batch work process");
  EXPECT_TRUE(reason) << ::testing::PrintToString(r.lines);
  EXPECT_TRUE(eventually([&] { return registrations(sys) == 0; }));
  EXPECT_TRUE(extraction_jobs(sys).empty());

  // The next batch request names its own data connection: nothing of the
  // failed one was left queued.
  int64_t before = sys.last_call();
  std::string dhandle = client.dhandle();
  auto layout = e2e::dictionary_fields(sys, "SCARR");
  r = client.run(sselect(client, true, "SCARR"), width_of(layout));
  EXPECT_EQ(r.lines, Lines{"OK"});
  EXPECT_EQ(e2e::received_value(sys, before, "DHANDLE"), dhandle);
}

TEST(E2eBatch, ARegistrationGoneInMidJobAbortsTheJob) {
  E2eSystem sys(1, batch_args());
  SelectClient client(sys);
  auto request = in_mid_transfer(sys, client);
  ASSERT_NE(request, nullptr);
  Record record;
  sys.server().stop(SIGKILL);
  ASSERT_TRUE(eventually([&] { return !extraction_jobs(sys).empty() && extraction_jobs(sys)[0][0] == 'A'; }));
  EXPECT_TRUE(contains(extraction_jobs(sys)[0], "failed"));
  EXPECT_TRUE(contains(extraction_jobs(sys)[0], "|Job cancelled"));
}

// R/3 gone in mid job: the client is told on both connections, neither is
// left open, and batch extractions work again once R/3 is back.
TEST(E2eBatch, R3KilledInMidJobIsToldOnBothConnections) {
  E2eSystem sys(1, batch_args());
  SelectClient client(sys);
  auto request = in_mid_transfer(sys, client);
  ASSERT_NE(request, nullptr);
  Record record;
  sys.r3sim().kill();
  while (client.data().read_record(kGenWidth, record) && record.kind == Record::Kind::kRow) {
  }
  EXPECT_EQ(record.kind, Record::Kind::kError);
  Lines lines = request->read_until_closed();
  ASSERT_GE(lines.size(), 2u) << ::testing::PrintToString(lines);
  EXPECT_EQ(lines[0], "OK");
  EXPECT_FALSE(e2e::starting_with(lines, "E,").empty()) << ::testing::PrintToString(lines);
  EXPECT_TRUE(e2e::ends_within(client.data().stream()));
  EXPECT_TRUE(sys.server().running());

  sys.r3sim().restart();
  expect_batch_select_served(sys);
}

// The client closes the data connection in mid transfer: the request
// connection, which it may still read, says why the rows stopped.
TEST(E2eBatch, ADataConnectionClosedInMidTransferIsToldOnTheRequestConnection) {
  E2eSystem sys(1, {"-V", "QORBATCH", "-B", "4000"});
  for (bool batch : {false, true}) {
    SCOPED_TRACE(batch ? "batch" : "dialog");
    SelectClient client(sys);
    auto request = in_mid_transfer(sys, client, batch);
    ASSERT_NE(request, nullptr);
    client.data().close();
    Lines lines = request->read_until_closed();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "OK");
    EXPECT_EQ(lines.back(), "E,Extraction stopped: the data connection was closed")
        << ::testing::PrintToString(lines);
  }
  EXPECT_TRUE(eventually([&] { return registrations(sys) == 0; }));
}

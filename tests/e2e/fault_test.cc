// Faults around a running server: R/3 going away in mid extraction and
// coming back, clients leaving at every phase of a request, SIGTERM while
// extractions run, a client that stops reading its data. The server must
// lose nothing, leak no descriptor or thread and keep serving.
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include "select_support.h"

using e2e::E2eSystem;
using e2e::open_fds;
using e2e::settled;
using e2e::threads;
using e2e::wait_until;
using e2e::SelectClient;
using e2e::SelectResult;
using qorclient::MainSession;
using qorclient::Record;

namespace {

using Lines = std::vector<std::string>;

size_t width_of(E2eSystem &sys, const std::string &table) {
  return r3sim::RowLayout(e2e::dictionary_fields(sys, table)).width();
}

std::string sselect(const SelectClient &c, const std::string &table, const std::string &extra = "") {
  return "<sselect " + c.handles() + " data=\"Y\"" + extra + "><table name=\"" + table +
         "\"/></sselect>";
}

// Chunks of the dialog module are slowed down for the next `calls` calls.
void slow_chunks(E2eSystem &sys, int calls) {
  sys.r3sim().db().exec(
      "INSERT INTO ZSIM_FAULTS (FUNCNAME, FAULT, ARG, NTH, TIMES) "
      "VALUES ('/QOR/Z_QOR_DIALOG', 'CHUNK_DELAY', '', 20, " + std::to_string(calls) + ")");
}

// A complete extraction of SCARR: the proof that the server serves.
void expect_serving(E2eSystem &sys) {
  SelectClient client(sys);
  SelectResult r = client.run(sselect(client, "SCARR"), width_of(sys, "SCARR"));
  EXPECT_EQ(r.lines, Lines{"OK"});
  EXPECT_FALSE(r.rows.empty());
  EXPECT_EQ(r.last.kind, Record::Kind::kEnd);
}

// Reads records until the data connection ends; never waits past its
// time-out.
Record drain(MainSession &data, size_t width) {
  Record r;
  while (data.read_record(width, r) && r.kind == Record::Kind::kRow) {
  }
  return r;
}

}  // namespace

TEST(E2eFault, R3GoneInMidExtractionThenBack) {
  E2eSystem sys(1, {"-B", "4000"});
  SelectClient client(sys);
  size_t width = width_of(sys, "SBOOK");
  slow_chunks(sys, 1);
  auto request = client.send(sselect(client, "SBOOK"));
  Record first;
  ASSERT_TRUE(client.data().read_record(width, first));
  sys.r3sim().kill();

  // The client learns of it on both connections and is not left waiting.
  Record last = drain(client.data(), width);
  EXPECT_NE(last.kind, Record::Kind::kEnd) << "a broken extraction must not look complete";
  Lines lines = request->read_until_closed();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "OK");
  EXPECT_FALSE(e2e::starting_with(lines, "E,RFC Error").empty()) << ::testing::PrintToString(lines);

  // While R/3 is down a logon fails with the RFC error; the server stays.
  Lines refused = sys.failing_request(qorclient::connect_element(sys.logon()));
  EXPECT_FALSE(e2e::starting_with(refused, "E,").empty()) << ::testing::PrintToString(refused);
  EXPECT_TRUE(sys.server().running());

  sys.r3sim().restart();
  expect_serving(sys);
}

TEST(E2eFault, ClientsLeavingAtEveryPhaseLeaveNothingBehind) {
  E2eSystem sys(1, {"-B", "4000"}, e2e::threads_end_with_connections());
  const pid_t pid = sys.server().pid();
  size_t width = width_of(sys, "SBOOK");
  // Once everything that stays (libraries, the random source) is in use.
  expect_serving(sys);
  const int idle_threads = settled([&] { return threads(pid); });
  const int fds = settled([&] { return open_fds(pid); });

  {  // Leaves in the middle of a request line.
    auto s = sys.open();
    ASSERT_TRUE(s->stream().send_all("<sselect chandle=\"00"));
  }
  {  // Leaves while the logon runs.
    auto s = sys.open();
    ASSERT_TRUE(s->send_request(qorclient::connect_element(sys.logon())));
  }
  {  // Leaves after the field descriptions of a select.
    SelectClient c(sys);
    auto request = c.send(sselect(c, "SBOOK", " metadata=\"Y\""));
    std::string line;
    ASSERT_TRUE(request->read_line(line));
  }
  {  // Leaves in mid transfer, all three connections at once.
    slow_chunks(sys, 1);
    SelectClient c(sys);
    auto request = c.send(sselect(c, "SBOOK"));
    Record r;
    ASSERT_TRUE(c.data().read_record(width, r));
  }
  EXPECT_TRUE(wait_until([&] { return open_fds(pid) == fds && threads(pid) == idle_threads; }))
      << open_fds(pid) << " descriptors (" << fds << " before), " << threads(pid)
      << " threads (" << idle_threads << " before)";
  expect_serving(sys);
}

TEST(E2eFault, SigtermWhileExtractionsRunStopsInOrder) {
  E2eSystem sys(1, {"-B", "4000"});
  size_t width = width_of(sys, "SBOOK");
  slow_chunks(sys, 6);
  std::vector<std::unique_ptr<SelectClient>> clients;
  std::vector<std::unique_ptr<MainSession>> requests;
  for (int i = 0; i < 6; ++i) {
    clients.push_back(std::make_unique<SelectClient>(sys));
    requests.push_back(clients.back()->send(sselect(*clients.back(), "SBOOK")));
    Record r;
    ASSERT_TRUE(clients.back()->data().read_record(width, r));
  }
  ASSERT_TRUE(std::ifstream(sys.pid_file()).good()) << sys.pid_file();

  sys.server().signal(SIGTERM);
  int status = sys.server().wait_exit(std::chrono::seconds(10));
  ASSERT_NE(status, -1) << "no stop within ten seconds";
  EXPECT_EQ(qtest::exit_code(status), 0);
  EXPECT_FALSE(std::ifstream(sys.pid_file()).good()) << "pid file left behind";
  // A call to R/3 that runs when the signal comes is finished first: every
  // client gets its whole extraction and the end record, none is left
  // waiting on a connection that no longer serves.
  for (auto &c : clients) {
    size_t rows = 1;
    Record r;
    while (c->data().read_record(width, r) && r.kind == Record::Kind::kRow) ++rows;
    EXPECT_EQ(r.kind, Record::Kind::kEnd);
    EXPECT_EQ(rows, 2000u);
  }
  for (auto &r : requests) EXPECT_EQ(r->read_until_closed(), Lines{"OK"});
  // Nothing is served after the stop.
  MainSession late(std::chrono::seconds(2));
  EXPECT_FALSE(late.open("127.0.0.1", sys.server_port()));
}

// A client that stops reading its data connection: its extraction waits
// (R/3 waits in the data callback) for as long as the client neither reads
// nor closes; other clients are served meanwhile and nothing is lost when
// it reads again.
TEST(E2eFault, AClientThatStopsReadingHoldsOnlyItsOwnExtraction) {
  E2eSystem sys(1, {"-B", "65536"});
  const int rows = 300000, width = 100;  // 30 MB: far more than socket buffers hold
  sys.r3sim().db().exec("INSERT INTO DD02L (TABNAME, TABCLASS, GENROWS, GENWIDTH) VALUES ('ZSTALL', "
                        "'GENER', " + std::to_string(rows) + ", " + std::to_string(width) + ")");
  SelectClient stalled(sys);
  auto request = stalled.send(sselect(stalled, "ZSTALL"));
  Record first;
  ASSERT_TRUE(stalled.data().read_record(width, first));

  expect_serving(sys);
  expect_serving(sys);

  int read = 1;
  Record r;
  while (stalled.data().read_record(width, r) && r.kind == Record::Kind::kRow) ++read;
  EXPECT_EQ(r.kind, Record::Kind::kEnd);
  EXPECT_EQ(read, rows);
  EXPECT_EQ(request->read_until_closed(), Lines{"OK"});
}

// A client that leaves while its background job has not yet started: the
// registration waits for the job, the job finds nobody to deliver to and
// is told so, and then nothing of the request is left in the server.
TEST(E2eFault, AClientGoneDuringTheBatchWaitLeavesNothingBehind) {
  E2eSystem sys(1, {"-B", "4000", "-V", "QORBATCH"}, e2e::threads_end_with_connections());
  const pid_t pid = sys.server().pid();
  expect_serving(sys);
  const int idle_threads = settled([&] { return threads(pid); });
  const int fds = settled([&] { return open_fds(pid); });
  sys.r3sim().db().exec(
      "INSERT INTO ZSIM_FAULTS (FUNCNAME, FAULT, ARG, NTH, TIMES) "
      "VALUES ('/QOR/Z_QOR_READ', 'JOB_DELAY', '', 1500, 1)");
  // Chunks small enough that the rows meet the closed connection.
  sys.r3sim().db().exec("INSERT OR REPLACE INTO ZSIM_CONFIG VALUES ('BATCH_BUFMAX', '10000')");
  {
    SelectClient c(sys);
    auto request = c.send(sselect(c, "SBOOK", " batch=\"Y\""));
    // Registered and the job scheduled, not yet running.
    ASSERT_TRUE(wait_until([&] {
      auto jobs = e2e::extraction_jobs(sys);
      return e2e::registrations(sys) == 1 && !jobs.empty() && jobs[0][0] == 'S';
    })) << ::testing::PrintToString(e2e::extraction_jobs(sys));
  }
  ASSERT_TRUE(wait_until([&] {
    auto jobs = e2e::extraction_jobs(sys);
    return !jobs.empty() && jobs[0][0] != 'S' && jobs[0][0] != 'R';
  })) << ::testing::PrintToString(e2e::extraction_jobs(sys));
  EXPECT_NE(e2e::extraction_jobs(sys)[0].find("KILLED_BY_QOR"), std::string::npos)
      << e2e::extraction_jobs(sys)[0];
  EXPECT_TRUE(wait_until([&] { return e2e::registrations(sys) == 0; }));
  EXPECT_TRUE(wait_until([&] { return open_fds(pid) == fds && threads(pid) == idle_threads; }))
      << open_fds(pid) << " descriptors (" << fds << " before), " << threads(pid)
      << " threads (" << idle_threads << " before)";
  expect_serving(sys);
}

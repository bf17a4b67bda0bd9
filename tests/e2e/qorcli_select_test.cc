// qorcli select against a whole system: what a user sees on standard
// output and standard error, and the exit status.
#include <gtest/gtest.h>

#include <sstream>

#include "e2e_system.h"

using e2e::E2eSystem;

namespace {

std::vector<std::string> logon_args(E2eSystem &sys) {
  return {"--server", "127.0.0.1:" + std::to_string(sys.server_port()), "--ashost", "127.0.0.1",
          "--sysnr", "00", "--gwserv", std::to_string(sys.r3sim().port()), "--client", "800",
          "--user", "DEMO", "--password", "welcome1", "--lang", "EN"};
}

struct CliRun {
  int code;
  std::string out, err;
};

CliRun qorcli(E2eSystem &sys, std::vector<std::string> args) {
  std::vector<std::string> argv{qtest::bin("qorcli"), "select"};
  for (auto &a : logon_args(sys)) argv.push_back(a);
  for (auto &a : args) argv.push_back(a);
  qtest::ChildProcess p(argv);
  int status = p.wait_exit(std::chrono::seconds(60));
  return {qtest::exit_code(status), p.stdout_text(), p.stderr_text()};
}

std::vector<std::string> lines(const std::string &text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l);
  return out;
}

// SFLIGHT rows of a carrier as CSV lines, read from the simulator's
// database in the simulator's key order.
std::vector<std::string> sflight_csv(E2eSystem &sys, const std::string &carrier) {
  std::vector<std::string> out;
  auto st = sys.r3sim().db().prepare(
      "SELECT CARRID, CONNID, FLDATE, SEATSMAX FROM SFLIGHT WHERE MANDT = '800' AND "
      "CARRID = ?1 ORDER BY MANDT, CARRID, CONNID, FLDATE");
  st.bind(1, carrier);
  while (st.step()) {
    std::string d = st.text(2);
    out.push_back(st.text(0) + "," + st.text(1) + "," + d.substr(0, 4) + "-" + d.substr(4, 2) +
                  "-" + d.substr(6, 2) + "," + std::to_string(st.integer(3)));
  }
  return out;
}

}  // namespace

TEST(E2eQorcliSelect, CsvJsonAndRawOfTheSameRows) {
  E2eSystem sys;
  std::vector<std::string> expected = sflight_csv(sys, "QA");
  ASSERT_FALSE(expected.empty());
  std::vector<std::string> select{"--table", "SFLIGHT", "--fields", "CARRID,CONNID,FLDATE,SEATSMAX",
                                  "--where", "CARRID EQ 'QA'"};

  std::vector<std::string> csv_args = select;
  CliRun csv = qorcli(sys, csv_args);
  ASSERT_EQ(csv.code, 0) << csv.err;
  std::vector<std::string> got = lines(csv.out);
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got.front(), "CARRID,CONNID,FLDATE,SEATSMAX");
  EXPECT_EQ(std::vector<std::string>(got.begin() + 1, got.end()), expected);

  std::vector<std::string> json_args = select;
  json_args.insert(json_args.end(), {"--format", "json"});
  CliRun json = qorcli(sys, json_args);
  ASSERT_EQ(json.code, 0) << json.err;
  std::vector<std::string> objects = lines(json.out);
  ASSERT_EQ(objects.size(), expected.size());
  EXPECT_EQ(objects[0].rfind("{\"CARRID\":\"QA\",\"CONNID\":\"", 0), 0u) << objects[0];
  EXPECT_NE(objects[0].find(",\"SEATSMAX\":"), std::string::npos);

  // Raw records: C3 N4 D8, then I aligned on 4 → 20 bytes a row.
  std::vector<std::string> raw_args = select;
  raw_args.insert(raw_args.end(), {"--format", "raw"});
  CliRun raw = qorcli(sys, raw_args);
  ASSERT_EQ(raw.code, 0) << raw.err;
  EXPECT_EQ(raw.out.size(), expected.size() * 20);
  EXPECT_EQ(raw.out.substr(0, 3), "QA ");
}

TEST(E2eQorcliSelect, TheServersErrorsReachTheUserWithAFailingExitStatus) {
  E2eSystem sys;
  CliRun unknown = qorcli(sys, {"--table", "ZNO_SUCH_TABLE"});
  EXPECT_EQ(unknown.code, 1);
  EXPECT_EQ(unknown.err.rfind("E,", 0), 0u) << unknown.err;
  EXPECT_EQ(unknown.out, "");

  CliRun usage = qorcli(sys, {"--fields", "CARRID"});
  EXPECT_EQ(usage.code, 2);
  EXPECT_NE(usage.err.find("select needs either --table or --xml"), std::string::npos);
}

TEST(E2eQorcliSelect, BatchModeGivesTheRowsOfTheDialogSelect) {
  E2eSystem sys(1, {"-V", "QORBATCH"});
  std::vector<std::string> expected = sflight_csv(sys, "QA");
  CliRun batch = qorcli(sys, {"--table", "SFLIGHT", "--fields", "CARRID,CONNID,FLDATE,SEATSMAX",
                              "--where", "CARRID EQ 'QA'", "--batch"});
  ASSERT_EQ(batch.code, 0) << batch.err;
  std::vector<std::string> got = lines(batch.out);
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(std::vector<std::string>(got.begin() + 1, got.end()), expected);
}

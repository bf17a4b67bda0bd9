// r3sim as a process: command line, logon, system information, two systems
// side by side, orderly stop.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstring>

#include "child_process.h"
#include "r3sim_process.h"
#include "system_config.h"

using r3simtest::R3simProcess;
using r3simtest::text;

namespace {

// RFCSI_EXPORT of RFC_SYSTEM_INFO through the library.
std::string system_info(RFC_HANDLE h) {
  char rfcsi[200];
  std::memset(rfcsi, '#', sizeof rfcsi);
  RFC_PARAMETER imp[] = {{const_cast<char *>("RFCSI_EXPORT"), 12, RFCTYPE_CHAR, 200, rfcsi},
                         {nullptr, 0, 0, 0, nullptr}};
  char *exc = nullptr;
  EXPECT_EQ(RfcCallReceive(h, const_cast<char *>("RFC_SYSTEM_INFO"), nullptr, imp, nullptr, &exc),
            RFC_OK);
  return std::string(rfcsi, 200);
}

RFC_ERROR_INFO_EX refused_logon(const std::string &cs) {
  RFC_ERROR_INFO_EX err{};
  RFC_HANDLE h = RfcOpenEx(const_cast<char *>(cs.c_str()), &err);
  EXPECT_EQ(h, RFC_HANDLE_NULL);
  if (h) RfcClose(h);
  return err;
}

}  // namespace

TEST(R3simSystem, HelpAndBadArguments) {
  qtest::ChildProcess help({qtest::bin("r3sim"), "--help"});
  EXPECT_EQ(qtest::exit_code(help.wait_exit()), 0);
  for (const char *opt : {"--db", "--port", "--host", "--sysnr", "--sysid", "--ns", "--bookings"})
    EXPECT_NE(help.stdout_text().find(opt), std::string::npos) << opt;
  qtest::ChildProcess bad({qtest::bin("r3sim"), "--db", "/tmp/x.db", "--port", "99999"});
  EXPECT_EQ(qtest::exit_code(bad.wait_exit()), 2);
  EXPECT_NE(bad.stderr_text().find("--port"), std::string::npos);
}

TEST(R3simSystem, LogonChecksWithClassicErrors) {
  R3simProcess sim;
  struct Case { const char *client, *user, *password, *first_line, *detail; };
  const Case cases[] = {
      {"800", "DEMO", "wrong", "Name or password is incorrect (repeat logon)", "DEMO in client 800"},
      {"800", "NOBODY", "welcome1", "Name or password is incorrect (repeat logon)", "NOBODY"},
      {"999", "DEMO", "welcome1", "Client 999 is not available in this system", "client 999"},
      {"800", "LOCKED", "welcome1", "User is locked. Please notify the person responsible",
       "LOCKED in client 800 is locked"},
  };
  for (const auto &c : cases) {
    RFC_ERROR_INFO_EX err = refused_logon(sim.connect_string(c.client, c.user, c.password));
    EXPECT_EQ(err.group, RFC_ERROR_LOGON_FAILURE) << c.user;
    EXPECT_STREQ(err.key, "RFC_ERROR_LOGON_FAILURE");
    std::string m = err.message;
    EXPECT_EQ(m.substr(0, m.find('\n')), c.first_line);
    EXPECT_NE(m.find("\nLOCATION    SAP-Server "), std::string::npos) << m;
    EXPECT_NE(m.find(c.detail), std::string::npos) << m;
  }
  // Unlocking with plain SQL takes effect at the next logon.
  sim.db().exec("UPDATE USR02 SET UFLAG = 0 WHERE BNAME = 'LOCKED'");
  RFC_ERROR_INFO_EX err{};
  std::string cs = sim.connect_string("800", "locked", "welcome1");
  RFC_HANDLE h = RfcOpenEx(cs.data(), &err);
  EXPECT_NE(h, RFC_HANDLE_NULL) << err.message;
  RfcClose(h);
}

TEST(R3simSystem, SystemInfoInRfcsiLayoutAndConfigurable) {
  R3simProcess sim({"--sysid", "QS7"});
  RFC_HANDLE h = sim.logon();
  std::string si = system_info(h);
  EXPECT_EQ(si.substr(0, 3), "011");
  EXPECT_EQ(si.substr(3, 4), "1100");
  EXPECT_EQ(si.substr(7, 3), "LIT");
  EXPECT_EQ(si.substr(10, 3), "IE3");
  EXPECT_EQ(text(si.data() + 53, 8), "QS7");
  EXPECT_EQ(text(si.data() + 111, 4), "46C");
  EXPECT_EQ(text(si.data() + 137, 15), "127.0.0.1");
  EXPECT_EQ(si.find('#'), std::string::npos);
  RFC_ATTRIBUTES attr{};
  ASSERT_EQ(RfcGetAttributes(h, &attr), 0);
  EXPECT_STREQ(attr.sysid, "QS7");

  // Host, release and time zone come from the configuration table, read
  // at every call.
  r3sim::SystemConfig::set(sim.db(), "HOST", "saphost1");
  r3sim::SystemConfig::set(sim.db(), "RELEASE", "620");
  r3sim::SystemConfig::set(sim.db(), "TZONE", "-18000");
  si = system_info(h);
  EXPECT_EQ(text(si.data() + 45, 8), "saphost1");
  EXPECT_EQ(text(si.data() + 13, 32), "saphost1_QS7_00");
  EXPECT_EQ(text(si.data() + 111, 4), "620");
  EXPECT_EQ(si.substr(130, 6), "-18000");
  RfcClose(h);
}

TEST(R3simSystem, RfcinfoPrintsTheSystemId) {
  R3simProcess sim;
  qtest::ChildProcess info({qtest::bin("rfcinfo"), sim.connect_string()});
  EXPECT_EQ(qtest::exit_code(info.wait_exit()), 0) << info.stdout_text();
  EXPECT_NE(info.stdout_text().find("RFCSYSID QR1\n"), std::string::npos) << info.stdout_text();
  qtest::ChildProcess refused({qtest::bin("rfcinfo"), sim.connect_string("800", "DEMO", "bad")});
  EXPECT_EQ(qtest::exit_code(refused.wait_exit()), 1);
  EXPECT_NE(refused.stdout_text().find("Key        : RFC_ERROR_LOGON_FAILURE"), std::string::npos);
}

TEST(R3simSystem, TwoSystemsSideBySide) {
  R3simProcess one({"--sysid", "QA1"}), two({"--sysid", "QB2"});
  ASSERT_NE(one.port(), two.port());
  RFC_HANDLE h1 = one.logon(), h2 = two.logon();
  EXPECT_EQ(text(system_info(h1).data() + 53, 8), "QA1");
  EXPECT_EQ(text(system_info(h2).data() + 53, 8), "QB2");
  // Each has its own data: a user added to one is unknown to the other.
  one.db().exec("INSERT INTO USR02 VALUES ('800', 'ONLYONE', 'pw', 0, '')");
  RFC_ERROR_INFO_EX err{};
  std::string cs1 = one.connect_string("800", "ONLYONE", "pw");
  RFC_HANDLE h = RfcOpenEx(cs1.data(), &err);
  EXPECT_NE(h, RFC_HANDLE_NULL);
  RfcClose(h);
  refused_logon(two.connect_string("800", "ONLYONE", "pw"));
  RfcClose(h1);
  RfcClose(h2);
}

TEST(R3simSystem, StopsInOrderOnSigintWithSessionsOpen) {
  R3simProcess sim;
  RFC_HANDLE h = sim.logon();
  int status = sim.process().stop(SIGINT);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << sim.process().stderr_text();
  EXPECT_NE(sim.process().stderr_text().find("r3sim: stopped"), std::string::npos);
  // The session's partner sees the end.
  char *exc = nullptr;
  EXPECT_NE(RfcCallReceive(h, const_cast<char *>("RFC_PING"), nullptr, nullptr, nullptr, &exc),
            RFC_OK);
  RfcClose(h);
}

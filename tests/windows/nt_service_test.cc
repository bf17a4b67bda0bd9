// The command dispatcher against the system's service control manager and
// registry: installation with each startup type and the display name, the
// options stored under the service's key, the change of the startup type,
// removal, and the failed requests. The service's life as a running server
// is checked from outside, with the real program (scripts/windows-check.sh).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nt_qorrfc_service.h"
#include "qorrfc_registry.h"
#include "windows_test_support.h"

namespace {

struct Config {
  bool installed = false;
  DWORD start_type = 0;
  std::string display_name;
};

// What the service manager knows of the service called name.
Config config(const char *name) {
  Config c;
  SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!scm) return c;
  SC_HANDLE service = OpenServiceA(scm, name, SERVICE_QUERY_CONFIG);
  if (service) {
    DWORD needed = 0;
    QueryServiceConfigA(service, nullptr, 0, &needed);
    std::vector<char> buf(needed);
    auto *q = reinterpret_cast<QUERY_SERVICE_CONFIGA *>(buf.data());
    if (needed && QueryServiceConfigA(service, q, needed, &needed)) {
      c.installed = true;
      c.start_type = q->dwStartType;
      c.display_name = q->lpDisplayName ? q->lpDisplayName : "";
    }
    CloseServiceHandle(service);
  }
  CloseServiceHandle(scm);
  return c;
}

// Deletes the service if a failed earlier run left it installed.
void delete_service(const char *name) {
  SC_HANDLE scm = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!scm) return;
  SC_HANDLE service = OpenServiceA(scm, name, DELETE);
  if (service) {
    DeleteService(service);
    CloseServiceHandle(service);
  }
  CloseServiceHandle(scm);
}

// One run of the program with fresh settings, as a new process would have.
int program(std::vector<std::string> words) {
  qorrfc_nt::Platform_Options options;
  nt_qorrfc_service service(options);
  qtest::Argv args(std::move(words));
  return service.dispatch(args.argc(), args.argv());
}

int dispatch(std::vector<std::string> words, std::string *log = nullptr) {
  qtest::LogCapture capture;
  int result = program(std::move(words));
  if (log) *log = capture.text();
  return result;
}

// The dispatcher's result, its log shown when it failed.
testing::AssertionResult succeeds(std::vector<std::string> words) {
  std::string log;
  if (dispatch(words, &log) == 0) return testing::AssertionSuccess();
  return testing::AssertionFailure() << words[0] << " failed: " << log;
}

// The services are the service manager's to delete, their keys with them.
class NtScm : public testing::Test {
 protected:
  NtScm() { clean(); }
  ~NtScm() override { clean(); }
  static void clean() {
    for (const char *name : {"qorrfc_test_plain", "myname", "qorrfc_test_off"})
      delete_service(name);
  }
};

TEST_F(NtScm, InstallChangeAndRemove) {
  ASSERT_TRUE(succeeds({"-i", "-n", "qorrfc_test_plain"}));
  Config plain = config("qorrfc_test_plain");
  EXPECT_TRUE(plain.installed);
  EXPECT_EQ(plain.start_type, static_cast<DWORD>(SERVICE_DEMAND_START));
  EXPECT_EQ(plain.display_name, "QOR RFC Service V9");

  ASSERT_TRUE(succeeds({"-i", "2", "-n", "myname,My display", "-p", "7010", "-d", "3"}));
  Config mine = config("myname");
  EXPECT_EQ(mine.start_type, static_cast<DWORD>(SERVICE_AUTO_START));
  EXPECT_EQ(mine.display_name, "My display");
  std::string stored;
  EXPECT_EQ(Qorrfc_Registry::instance()->get(qtest::parameters_key("myname"), "AppParameter",
                                             stored),
            Qorrfc_Registry::DONE);
  EXPECT_EQ(stored, "-p 7010");

  EXPECT_TRUE(succeeds({"-t", "4", "-n", "myname"}));
  EXPECT_EQ(config("myname").start_type, static_cast<DWORD>(SERVICE_DISABLED));
  EXPECT_TRUE(succeeds({"-r", "-n", "myname"}));
  EXPECT_FALSE(config("myname").installed);
  EXPECT_TRUE(config("qorrfc_test_plain").installed);
  EXPECT_TRUE(succeeds({"-r", "-n", "qorrfc_test_plain"}));
  EXPECT_FALSE(config("qorrfc_test_plain").installed);
}

// Each failure is one line with the request, and a second with the
// system's reason.
TEST_F(NtScm, FailedRequestsAreLogged) {
  ASSERT_TRUE(succeeds({"-i", "4", "-n", "qorrfc_test_off"}));
  struct {
    std::vector<std::string> words;
    std::string log;
  } cases[] = {
      {{"-i", "-n", "qorrfc_test_off"}, "ERROR installing service.\n"},
      {{"-r", "-n", "qorrfc_test_none"}, "ERROR removing service.\n"},
      {{"-s", "-n", "qorrfc_test_off"}, "ERROR starting service.\n"},
      {{"-s", "-n", "qorrfc_test_none"}, "ERROR starting service.\n"},
      {{"-k", "-n", "qorrfc_test_off"}, "ERROR stopping service.\n"},
      {{"-t", "2", "-n", "qorrfc_test_none"}, "ERROR changing the startup type of the service.\n"},
  };
  for (auto &c : cases) {
    std::string log;
    EXPECT_EQ(dispatch(c.words, &log), -1) << c.words[0];
    EXPECT_EQ(log.rfind(c.log, 0), 0u) << c.words[0] << ": " << log;
  }
  // Not started by the service manager, there is nothing to dispatch.
  std::string log;
  EXPECT_EQ(dispatch({}, &log), -1);
  EXPECT_EQ(log.rfind("Couldn't start service: ", 0), 0u) << log;
}

TEST_F(NtScm, StartAndKillTogetherAreAUsageError) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(program({"-s", "-k"}), testing::ExitedWithCode(1), "Usage: qorrfc_server -i ");
}

}  // namespace

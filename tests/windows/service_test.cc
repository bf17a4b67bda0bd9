// The command dispatcher and the service against the stand-in service
// manager and registry: requests and their failures, a service started by
// the manager with the options stored under its name, and a real server
// run on loopback ended by stop, shutdown and console controls.
#include <ace/Reactor.h>
#include <ace/Thread_Manager.h>
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "loopback.h"
#include "nt_qorrfc_service.h"
#include "qorrfc_file_registry.h"
#include "qorrfc_service.h"
#include "qorrfc_service_manager.h"
#include "windows_test_support.h"

namespace {

// The port on the command line of a service's program, as an image path
// with arguments would give it.
int image_port = 0;

// One run of the program with fresh settings, as a new process would have.
int program(std::vector<std::string> words, const char *name = "qorrfc_server") {
  qorrfc_nt::Platform_Options options;
  nt_qorrfc_service service(options);
  qtest::Argv args(std::move(words), name);
  return service.dispatch(args.argc(), args.argv());
}

int launched_program(int argc, char *argv[]) {
  std::vector<std::string> words(argv + 1, argv + argc);
  words.insert(words.end(), {"-p", std::to_string(image_port)});
  return program(words, argv[0]);
}

int dispatch(std::vector<std::string> words, std::string *log = nullptr) {
  qtest::LogCapture capture;
  int result = program(std::move(words));
  if (log) *log = capture.text();
  return result;
}

std::vector<int> distinct_ports(size_t n) {
  std::set<int> ports;
  while (ports.size() < n) ports.insert(qtest::free_port());
  return {ports.begin(), ports.end()};
}

bool serves(int port) {
  qtest::Conn c;
  return c.connect(port) && c.read_exact(130).size() == 130;
}

bool refuses(int port) { return !qtest::Conn().connect(port); }

class NtService : public testing::Test {
 protected:
  NtService() : scm_(Qorrfc_Service_Manager::instance()) {
    scm_->program(&launched_program);
    ACE_Reactor::instance()->reset_reactor_event_loop();
  }
  // Every worker of the runs has been asked to end; wait for them.
  ~NtService() override {
    ACE_Thread_Manager::instance()->wait();
    qorrfc_service::terminate_xml();
  }
  std::string installed(const std::string &name, const char *value) {
    std::string text;
    Qorrfc_Registry::instance()->get("SYSTEM\\CurrentControlSet\\Services\\" + name, value, text);
    return text;
  }

  qtest::TestRegistry registry_;
  Qorrfc_Service_Manager *scm_;
};

TEST_F(NtService, InstallChangeAndRemove) {
  ASSERT_EQ(dispatch({"-i", "-n", "plain"}), 0);
  EXPECT_EQ(scm_->startup("plain"), static_cast<DWORD>(SERVICE_DEMAND_START));
  EXPECT_EQ(installed("plain", "DisplayName"), "QOR RFC Service V9");
  ASSERT_EQ(dispatch({"-i", "2", "-n", "myname,My display", "-p", "7010", "-d", "3"}), 0);
  EXPECT_EQ(scm_->startup("myname"), static_cast<DWORD>(SERVICE_AUTO_START));
  EXPECT_EQ(installed("myname", "DisplayName"), "My display");
  std::string stored;
  Qorrfc_Registry::instance()->get(qtest::parameters_key("myname"), "AppParameter", stored);
  EXPECT_EQ(stored, "-p 7010");

  EXPECT_EQ(dispatch({"-t", "4", "-n", "myname"}), 0);
  EXPECT_EQ(scm_->startup("myname"), static_cast<DWORD>(SERVICE_DISABLED));
  // Removal takes the stored options with it.
  EXPECT_EQ(dispatch({"-r", "-n", "myname"}), 0);
  EXPECT_EQ(scm_->startup("myname"), 0u);
  EXPECT_FALSE(Qorrfc_File_Registry::instance()->has_key(qtest::parameters_key("myname")));
  EXPECT_EQ(scm_->startup("plain"), static_cast<DWORD>(SERVICE_DEMAND_START));
}

TEST_F(NtService, FailedRequestsAreLogged) {
  ASSERT_EQ(dispatch({"-i", "4", "-n", "off"}), 0);
  struct {
    std::vector<std::string> words;
    std::string log;
  } cases[] = {
      {{"-i", "-n", "off"}, "ERROR installing service.\n"},
      {{"-i", "9", "-n", "new"}, "ERROR installing service.\n"},
      {{"-r", "-n", "none"}, "ERROR removing service.\n"},
      {{"-s", "-n", "off"}, "ERROR starting service.\n"},
      {{"-s", "-n", "none"}, "ERROR starting service.\n"},
      {{"-k", "-n", "off"}, "ERROR stopping service.\n"},
      {{"-t", "2", "-n", "none"}, "ERROR changing the startup type of the service.\n"},
  };
  for (auto &c : cases) {
    std::string log;
    EXPECT_EQ(dispatch(c.words, &log), -1) << c.words[0];
    EXPECT_EQ(log, c.log) << c.words[0];
  }
  // Without a start by the service manager there is nothing to dispatch.
  std::string log;
  EXPECT_EQ(dispatch({}, &log), -1);
  EXPECT_EQ(log.rfind("Couldn't start service: ", 0), 0u) << log;
}

TEST_F(NtService, StartAndKillTogetherAreAUsageError) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(program({"-s", "-k"}), testing::ExitedWithCode(1), "Usage: qorrfc_server -i ");
}

TEST_F(NtService, StartedServiceTakesTheOptionsStoredUnderItsName) {
  auto ports = distinct_ports(3);
  image_port = ports[2];
  ASSERT_EQ(dispatch({"-i", "-n", "alpha", "-p", std::to_string(ports[0])}), 0);
  ASSERT_EQ(dispatch({"-i", "-n", "beta,Beta", "-p", std::to_string(ports[1])}), 0);
  ASSERT_EQ(dispatch({"-s", "-n", "beta"}), 0);
  EXPECT_EQ(scm_->state("beta"), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(scm_->state("alpha"), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_TRUE(qtest::wait_for_port(ports[1]));
  EXPECT_TRUE(serves(ports[1]));
  EXPECT_TRUE(refuses(ports[0]));
  EXPECT_TRUE(refuses(ports[2]));

  // An interrogation is no stop.
  EXPECT_EQ(scm_->control("beta", SERVICE_CONTROL_INTERROGATE), 0);
  EXPECT_TRUE(serves(ports[1]));
  ASSERT_EQ(dispatch({"-k", "-n", "beta"}), 0);
  EXPECT_NE(scm_->state("beta"), static_cast<DWORD>(SERVICE_RUNNING));
  scm_->wait("beta");
  EXPECT_EQ(scm_->state("beta"), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_TRUE(refuses(ports[1]));
}

TEST_F(NtService, ShutdownEndsTheServiceAndAMissingValueKeepsTheCommandLine) {
  auto ports = distinct_ports(2);
  image_port = ports[1];
  ASSERT_EQ(dispatch({"-i", "-n", "gamma", "-p", std::to_string(ports[0])}), 0);
  Qorrfc_File_Registry::instance()->remove_key(qtest::parameters_key("gamma"));
  ASSERT_EQ(dispatch({"-s", "-n", "gamma"}), 0);
  EXPECT_TRUE(qtest::wait_for_port(ports[1]));
  EXPECT_TRUE(serves(ports[1]));
  EXPECT_TRUE(refuses(ports[0]));
  EXPECT_EQ(scm_->control("gamma", SERVICE_CONTROL_SHUTDOWN), 0);
  scm_->wait("gamma");
  EXPECT_TRUE(refuses(ports[1]));
  // Stopped, it takes no more controls.
  EXPECT_EQ(scm_->control("gamma", SERVICE_CONTROL_STOP), -1);
}

TEST_F(NtService, ForegroundServerStopsOnAConsoleEvent) {
  const int port = qtest::free_port();
  ACE_Reactor::instance()->owner(ACE_Thread::self());
  bool served = false;
  std::thread console([&] {
    served = qtest::wait_for_port(port) && serves(port);
    scm_->console_event(0);
  });
  std::string log;
  EXPECT_EQ(dispatch({"-d", "1", "-p", std::to_string(port)}, &log), 0);
  console.join();
  EXPECT_TRUE(served);
  EXPECT_TRUE(refuses(port));
  EXPECT_NE(log.find("qorrfc_service 4.1 2005-08-12 stopping\n"), std::string::npos) << log;
}

}  // namespace

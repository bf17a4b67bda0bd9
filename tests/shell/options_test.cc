// Reading the command line into the settings, with the messages logged on
// the way. Usage errors end the process; the process tests cover those.
#include <ace/Log_Msg.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "unix_qorrfc_service_options.h"

namespace {

// Parses argv (after the program name) into a fresh settings object and
// keeps what was logged.
struct Parsed {
  Platform_Options options;
  std::string log;
  explicit Parsed(std::vector<std::string> args) {
    args.insert(args.begin(), "qorrfc_server");
    std::vector<char *> argv;
    for (auto &a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    std::ostringstream out;
    ACE_LOG_MSG->msg_ostream(&out, false);
    ACE_LOG_MSG->set_flags(ACE_Log_Msg::OSTREAM);
    ACE_LOG_MSG->clr_flags(ACE_Log_Msg::STDERR);
    options.parse_args(static_cast<int>(args.size()), argv.data());
    ACE_LOG_MSG->clr_flags(ACE_Log_Msg::OSTREAM);
    ACE_LOG_MSG->set_flags(ACE_Log_Msg::STDERR);
    ACE_LOG_MSG->msg_ostream(nullptr, false);
    log = out.str();
  }
};

const char kBufsizeIgnored[] = "minimum bufsize ignored - 10000 used\n";

TEST(Options, NoOptionsGiveTheDefaults) {
  Parsed p({});
  EXPECT_EQ(p.options.port(), 6999);
  EXPECT_EQ(p.options.compat_port(), 0);
  EXPECT_EQ(p.options.bcompat_port(), 0);
  EXPECT_EQ(p.options.min_bufsize(), 10000);
  EXPECT_EQ(p.options.unlimited_dialog(), ' ');
  EXPECT_STREQ(p.options.ns(), "/QOR/");
  EXPECT_STREQ(p.options.variant(), "");
  EXPECT_STREQ(p.options.bparms(), "");
  EXPECT_EQ(p.options.debug_level(), 0);
  EXPECT_EQ(p.options.kill_request(), 0);
  EXPECT_STREQ(p.options.pid_file_path(), "/tmp/qorrfcv9.pid");
  EXPECT_EQ(p.log, "");
}

TEST(Options, MinimumBufferSize) {
  struct {
    const char *arg;
    int value;
    bool message;
  } cases[] = {{"9999", 10000, true},     {"123456789", 10000, true},
               {"99999999", 99999999, false}, {"00010000", 10000, false},
               {"20000", 20000, false},   {"abc", 10000, true}};
  for (auto &c : cases) {
    Parsed p({"-B", c.arg});
    EXPECT_EQ(p.options.min_bufsize(), c.value) << c.arg;
    EXPECT_EQ(p.log, c.message ? kBufsizeIgnored : "") << c.arg;
  }
}

TEST(Options, BatchCompatibilityParameters) {
  Parsed plain({"-b", "-V myvar"});
  EXPECT_STREQ(plain.options.bcompat_variant(), "MYVAR");
  EXPECT_EQ(plain.options.bcompat_port(), 6995);
  EXPECT_STREQ(plain.options.bcompat_report(), "");
  EXPECT_STREQ(plain.options.bparms(), "-V myvar");

  Parsed full({"-b", "-p 7000 -R zrep -V v1 -B 50000"});
  EXPECT_EQ(full.options.bcompat_port(), 7000);
  EXPECT_STREQ(full.options.bcompat_report(), "zrep");
  EXPECT_STREQ(full.options.bcompat_variant(), "V1");
  EXPECT_EQ(full.options.min_bufsize(), 50000);

  Parsed zero_port({"-b", "-p 0 -V X"});
  EXPECT_EQ(zero_port.options.bcompat_port(), 6995);
  EXPECT_EQ(zero_port.log, "invalid batch compatibility port\n");

  Parsed unknown({"-b", "-V X -q 1"});
  EXPECT_EQ(unknown.log, "unknown batch compatibility parameter\n");

  // Options apply in order: the later setting of min_bufsize wins.
  Parsed later({"-b", "-V X -B 500", "-B", "20000"});
  EXPECT_EQ(later.options.min_bufsize(), 20000);
  EXPECT_EQ(later.log, kBufsizeIgnored);
  Parsed earlier({"-B", "20000", "-b", "-V X -B 500"});
  EXPECT_EQ(earlier.options.min_bufsize(), 10000);
  EXPECT_EQ(earlier.log, kBufsizeIgnored);
}

TEST(Options, EnvironmentVariablesInBatchParameters) {
  setenv("QORRFC_TEST_VARIANT", "fromenv", 1);
  Parsed p({"-b", "-V $QORRFC_TEST_VARIANT"});
  EXPECT_STREQ(p.options.bcompat_variant(), "FROMENV");
}

TEST(Options, TextsAndFlags) {
  Parsed p({"-N", "/abc/", "-V", "var1", "-U", "Y", "-n", std::string(200, 'n'), "-w", "/var/x",
            "-k", "-d", "3", "-p", "7001", "-c", "7002", "stray"});
  EXPECT_STREQ(p.options.ns(), "/ABC/");
  EXPECT_STREQ(p.options.variant(), "VAR1");
  EXPECT_EQ(p.options.unlimited_dialog(), 'X');
  EXPECT_EQ(std::string(p.options.name()), std::string(127, 'n'));
  EXPECT_EQ(p.options.kill_request(), 1);
  EXPECT_EQ(p.options.debug_level(), 3);
  EXPECT_EQ(p.options.port(), 7001);
  EXPECT_EQ(p.options.compat_port(), 7002);
  EXPECT_EQ(std::string(p.options.pid_file_path()), "/var/x/" + std::string(127, 'n') + ".pid");

  Options o;
  EXPECT_EQ(o.set_unlimited_dialog("1"), 0);
  EXPECT_EQ(o.set_unlimited_dialog("n"), 0);
  EXPECT_EQ(o.unlimited_dialog(), ' ');
  EXPECT_EQ(o.set_unlimited_dialog("yes"), -1);
  EXPECT_EQ(o.set_unlimited_dialog(""), -1);
  EXPECT_EQ(o.set_unlimited_dialog("x"), -1);
  EXPECT_EQ(o.unlimited_dialog(), ' ');
}

TEST(Options, DebugLevelSetsThePriorityMask) {
  u_long saved = ACE_LOG_MSG->priority_mask(ACE_Log_Msg::PROCESS);
  const u_long all = LM_TRACE | LM_DEBUG | LM_INFO | LM_NOTICE | LM_WARNING | LM_ERROR |
                     LM_CRITICAL | LM_ALERT | LM_EMERGENCY;
  struct {
    int level;
    u_long shown;
  } cases[] = {{0, LM_INFO}, {1, LM_INFO | LM_WARNING},
               {2, LM_INFO | LM_WARNING | LM_NOTICE},
               {3, LM_INFO | LM_WARNING | LM_NOTICE | LM_DEBUG},
               {4, LM_INFO | LM_WARNING | LM_NOTICE | LM_DEBUG | LM_TRACE}};
  for (auto &c : cases) {
    ACE_LOG_MSG->priority_mask(all, ACE_Log_Msg::PROCESS);
    Options o;
    o.debug_level(c.level);
    o.apply_debug_level();
    u_long mask = ACE_LOG_MSG->priority_mask(ACE_Log_Msg::PROCESS);
    u_long optional = LM_TRACE | LM_DEBUG | LM_NOTICE | LM_WARNING | LM_INFO;
    EXPECT_EQ(mask & optional, c.shown) << c.level;
    EXPECT_TRUE(mask & LM_ERROR);
  }
  ACE_LOG_MSG->priority_mask(saved, ACE_Log_Msg::PROCESS);
}

}  // namespace

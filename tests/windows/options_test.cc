// The Windows command line: service-manager requests, name and display
// name, and the argument list an installed service keeps.
#include <ace/ARGV.h>
#include <gtest/gtest.h>

#include "nt_qorrfc_service_options.h"
#include "windows_test_support.h"

namespace {

using qorrfc_nt::Platform_Options;

struct Parsed {
  Platform_Options options;
  explicit Parsed(std::vector<std::string> words) {
    qtest::Argv args(std::move(words));
    options.parse_args(args.argc(), args.argv());
  }
};

TEST(NtOptions, InstallAndStartupTypes) {
  struct {
    std::vector<std::string> words;
    int install, set_startup, type, port;
  } cases[] = {
      {{"-i"}, 1, 0, 3, 6999},
      {{"-i", "2"}, 1, 0, 2, 6999},
      {{"-i", "-p", "7000"}, 1, 0, 3, 7000},
      {{"-p", "7000", "-i"}, 1, 0, 3, 7000},
      {{"-i", "4", "-p", "7000"}, 1, 0, 4, 7000},
      {{"-t", "2"}, 0, 1, 2, 6999},
      // A value that begins with a dash belongs to its option, not to -i.
      {{"-n", "-i", "-p", "7001"}, 0, 0, 3, 7001},
      {{}, 0, 0, 3, 6999},
  };
  for (auto &c : cases) {
    Parsed p(c.words);
    std::string what;
    for (auto &w : c.words) what += w + " ";
    EXPECT_EQ(p.options.install(), c.install) << what;
    EXPECT_EQ(p.options.set_startup(), c.set_startup) << what;
    EXPECT_EQ(p.options.startup_type(), c.type) << what;
    EXPECT_EQ(p.options.port(), c.port) << what;
  }
  Parsed flags({"-r", "-s", "-k"});
  EXPECT_TRUE(flags.options.remove() && flags.options.start() && flags.options.kill());
}

TEST(NtOptions, NameAndDisplayName) {
  Parsed both({"-n", "myname,My display"});
  EXPECT_STREQ(both.options.name(), "myname");
  EXPECT_STREQ(both.options.display_name(), "My display");
  // Only the first comma separates.
  Parsed commas({"-n", "a,b,c"});
  EXPECT_STREQ(commas.options.name(), "a");
  EXPECT_STREQ(commas.options.display_name(), "b,c");
  Parsed plain({"-n", "plain"});
  EXPECT_STREQ(plain.options.name(), "plain");
  EXPECT_STREQ(plain.options.display_name(), "QOR RFC Service V9");
  Parsed defaults({});
  EXPECT_STREQ(defaults.options.name(), "qorrfcv9");
  Parsed longer({"-n", std::string(200, 'n') + "," + std::string(1100, 'd')});
  EXPECT_EQ(std::string(longer.options.name()), std::string(127, 'n'));
  EXPECT_EQ(std::string(longer.options.display_name()), std::string(1023, 'd'));
}

TEST(NtOptions, StoredArgumentList) {
  EXPECT_STREQ(Parsed({"-i"}).options.stored_args(), "-p 6999");
  Parsed full({"-i", "2", "-p", "7001", "-c", "7002", "-b", "-V myvar -p 7003", "-B", "20000",
               "-U", "y", "-N", "/abc/", "-V", "var1", "-n", "svc,Display"});
  EXPECT_STREQ(full.options.stored_args(),
               "-p 7001 -c 7002 -b '-V myvar -p 7003' -B 20000 -U 1 -N /abc/ -V var1");
  // The debug level is kept only when nothing is installed.
  EXPECT_STREQ(Parsed({"-d", "2", "-i"}).options.stored_args(), "-p 6999");
  EXPECT_STREQ(Parsed({"-d", "2", "-U", "0"}).options.stored_args(), "-p 6999 -d 2");

  // Read back as a service reads it, the list gives the same settings.
  Platform_Options again;
  ACE_ARGV words(full.options.stored_args(), false);
  again.parse_args(words.argc(), words.argv(), 0);
  EXPECT_EQ(again.port(), 7001);
  EXPECT_EQ(again.compat_port(), 7002);
  EXPECT_EQ(again.bcompat_port(), 7003);
  EXPECT_STREQ(again.bparms(), "-V myvar -p 7003");
  EXPECT_EQ(again.min_bufsize(), 20000);
  EXPECT_EQ(again.unlimited_dialog(), 'X');
  EXPECT_STREQ(again.ns(), "/ABC/");
  EXPECT_STREQ(again.variant(), "VAR1");
  EXPECT_STREQ(again.stored_args(), full.options.stored_args());
}

TEST(NtOptionsDeathTest, UsageErrorsExitWithOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (auto words : std::vector<std::vector<std::string>>{
           {"-i", "0"}, {"-t", "0"}, {"-d", "0"}, {"-x"}, {"-U", "yes"}, {"-w", "/tmp"}}) {
    EXPECT_EXIT(Parsed p(words), testing::ExitedWithCode(1), "Usage: qorrfc_server -i ")
        << words[0];
  }
}

}  // namespace

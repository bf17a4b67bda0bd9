// The stored argument list's way into and out of the registry: the real
// one on Windows, the stand-in elsewhere.
#include <gtest/gtest.h>

#include "nt_qorrfc_service_options.h"
#include "qorrfc_registry.h"
#include "windows_test_support.h"

namespace {

TEST(NtRegistry, StoredListUnderTheServiceName) {
  qtest::TestRegistry file;
  qorrfc_nt::Platform_Options options;
  qtest::Argv args({"-n", "myname,My display", "-p", "7005", "-i"});
  options.parse_args(args.argc(), args.argv());
  ASSERT_EQ(options.set_registry(), 0);
  std::string text;
  EXPECT_EQ(Qorrfc_Registry::instance()->get(qtest::parameters_key("myname"), "AppParameter",
                                             text),
            Qorrfc_Registry::DONE);
  EXPECT_EQ(text, "-p 7005");
  text.clear();
  EXPECT_EQ(options.get_registry(text), 0);
  EXPECT_EQ(text, "-p 7005");
}

TEST(NtRegistry, MissingValueIsLogged) {
  qtest::TestRegistry registry({"qorrfc_test_absent"});
  qorrfc_nt::Platform_Options options;
  options.name("qorrfc_test_absent");
  std::string text;
  qtest::LogCapture log;
  EXPECT_EQ(options.get_registry(text), -1);
  EXPECT_EQ(log.text(),
            "in Platform_Options::get_registry "
            "ACE_Registry::Naming_Contexts::bind/resolve_context failed");
  EXPECT_EQ(text, "");
}

}  // namespace

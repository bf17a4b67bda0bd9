// The registry stand-in, and the stored list's way in and out of it.
#include <gtest/gtest.h>

#include "nt_qorrfc_service_options.h"
#include "qorrfc_file_registry.h"
#include "windows_test_support.h"

namespace {

TEST(FileRegistry, ValuesKeysAndSteps) {
  Qorrfc_File_Registry registry;
  std::string text;
  // Without a configured file there is no registry to connect to.
  EXPECT_EQ(registry.get("A", "v", text), Qorrfc_Registry::NO_ROOT);
  EXPECT_EQ(registry.set("A", "v", "x"), Qorrfc_Registry::NO_ROOT);

  qtest::TestRegistry file;
  EXPECT_EQ(registry.get("A\\B", "v", text), Qorrfc_Registry::NO_KEY);
  const std::string odd = "tab\there\nline \\ back";
  EXPECT_EQ(registry.set("A\\B", "v", odd), Qorrfc_Registry::DONE);
  EXPECT_EQ(registry.set("A\\Bc", "v", "other"), Qorrfc_Registry::DONE);
  // Keys and names match without regard to case; "A" exists as a parent.
  EXPECT_EQ(registry.get("a\\b", "V", text), Qorrfc_Registry::DONE);
  EXPECT_EQ(text, odd);
  EXPECT_EQ(registry.get("A\\B", "w", text), Qorrfc_Registry::NO_VALUE);
  EXPECT_EQ(registry.get("A", "v", text), Qorrfc_Registry::NO_VALUE);
  EXPECT_EQ(registry.set("A\\B", "v", "new"), Qorrfc_Registry::DONE);
  EXPECT_EQ(registry.get("A\\B", "v", text), Qorrfc_Registry::DONE);
  EXPECT_EQ(text, "new");
  // Removing a key takes the keys below it, not a sibling sharing its prefix.
  EXPECT_EQ(registry.remove_key("A\\B"), Qorrfc_Registry::DONE);
  EXPECT_FALSE(registry.has_key("A\\B"));
  EXPECT_TRUE(registry.has_key("A\\Bc"));
  EXPECT_EQ(registry.remove_key("A\\B"), Qorrfc_Registry::NO_KEY);
}

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

TEST(NtRegistry, MissingRegistryOrValueIsLogged) {
  qorrfc_nt::Platform_Options options;
  std::string text;
  {
    qtest::LogCapture log;
    EXPECT_EQ(options.get_registry(text), -1);
    EXPECT_EQ(options.set_registry(), -1);
    EXPECT_EQ(log.text(),
              "ACE_Predefined_Naming_Contexts::connect failed"
              "ACE_Predefined_Naming_Contexts::connect failed");
  }
  qtest::TestRegistry file;
  qtest::LogCapture log;
  EXPECT_EQ(options.get_registry(text), -1);
  EXPECT_EQ(log.text(),
            "in Platform_Options::get_registry "
            "ACE_Registry::Naming_Contexts::bind/resolve_context failed");
  EXPECT_EQ(text, "");
}

}  // namespace

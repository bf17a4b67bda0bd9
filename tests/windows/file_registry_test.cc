// The registry stand-in of platforms without a registry, and the logs of
// a registry that cannot be reached at all (only the stand-in can be
// missing).
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

TEST(NtRegistry, MissingRegistryIsLogged) {
  qorrfc_nt::Platform_Options options;
  std::string text;
  qtest::LogCapture log;
  EXPECT_EQ(options.get_registry(text), -1);
  EXPECT_EQ(options.set_registry(), -1);
  EXPECT_EQ(log.text(),
            "ACE_Predefined_Naming_Contexts::connect failed"
            "ACE_Predefined_Naming_Contexts::connect failed");
}

}  // namespace

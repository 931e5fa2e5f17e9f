#include "service/method_arguments.h"

#include <gtest/gtest.h>

#include "service/cancel_keeping_methods.h"

namespace tidvale {
namespace {

class MethodArgumentsTest : public ::testing::Test {
 protected:
  int homeLookups = 0;
  HomeFolderSource home = [this] {
    ++homeLookups;
    return std::string("C:\\users\\me");
  };
};

TEST_F(MethodArgumentsTest, LargeFileDefaultsAndIntegerWidths) {
  auto defaults = largeFileArguments({}, home);
  EXPECT_EQ(defaults.root, "C:\\users\\me");
  EXPECT_EQ(defaults.minSize, 104857600);

  auto narrow = largeFileArguments({{EncodableValue("minSize"), EncodableValue(int32_t{5})}}, home);
  EXPECT_EQ(narrow.minSize, 5);
  auto real = largeFileArguments({{EncodableValue("minSize"), EncodableValue(5.0)}}, home);
  EXPECT_EQ(real.minSize, 104857600);
}

TEST_F(MethodArgumentsTest, HomeIsLookedUpOnlyWhenNoRootIsGiven) {
  auto given = duplicateArguments({{EncodableValue("root"), EncodableValue("D:\\x")}}, home);
  EXPECT_EQ(given.root, "D:\\x");
  EXPECT_EQ(given.minSize, 1048576);
  EXPECT_EQ(homeLookups, 0);
  auto wrongType = duplicateArguments({{EncodableValue("root"), EncodableValue(true)}}, home);
  EXPECT_EQ(wrongType.root, "C:\\users\\me");
  EXPECT_EQ(homeLookups, 1);
}

TEST_F(MethodArgumentsTest, DiskDeleteUninstallAndStartupDefaults) {
  auto disk = diskArguments({}, home);
  EXPECT_EQ(disk.path, "C:\\users\\me");
  EXPECT_EQ(disk.depth, 3);

  EncodableMap mixed{{EncodableValue("paths"),
                      EncodableValue(EncodableList{EncodableValue("a"), EncodableValue(int32_t{1}),
                                                   EncodableValue("b")})}};
  auto deletion = deleteArguments(mixed);
  EXPECT_EQ(deletion.paths, (std::vector<std::string>{"a", "b"}));
  EXPECT_FALSE(deletion.toTrash);

  auto uninstall = uninstallArguments({});
  EXPECT_EQ(uninstall.command, "");
  EXPECT_EQ(uninstall.regKey, "");
  EXPECT_TRUE(uninstall.paths.empty());
  EXPECT_FALSE(uninstall.toTrash);

  auto startup = startupChangeArguments({});
  EXPECT_TRUE(startup.enabled);
  EXPECT_EQ(startup.kind, "");
  EXPECT_EQ(startup.id, "");

  auto leftovers = leftoverArguments({{EncodableValue("publisher"), EncodableValue("Acme")}});
  EXPECT_EQ(leftovers.publisher, "Acme");
  EXPECT_EQ(leftovers.name, "");
  EXPECT_EQ(sizeOfPathArgument({}), "");
}

TEST(CancelKeepingMethods, OnlyTheSystemAndStartupMethodsKeepTheFlag) {
  for (const char* name : {"systemInfo", "memoryInfo", "optimizeMemory", "listStartupItems",
                           "setStartupItem", "removeStartupItem"}) {
    EXPECT_TRUE(keepsCancelFlag(name)) << name;
  }
  for (const char* name : {"scanJunk", "sizeOf", "deleteItems", "uninstallApp", "noSuchMethod",
                           "SystemInfo", "", "cancel"}) {
    EXPECT_FALSE(keepsCancelFlag(name)) << name;
  }
}

}  // namespace
}  // namespace tidvale

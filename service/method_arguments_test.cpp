#include "service/method_arguments.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

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

EncodableValue stringList(std::initializer_list<const char*> items) {
  EncodableList list;
  for (const char* item : items) list.emplace_back(item);
  return EncodableValue(std::move(list));
}

EncodableValue asValue(const std::vector<std::string>& items) {
  EncodableList list(items.begin(), items.end());
  return EncodableValue(std::move(list));
}

TEST_F(MethodArgumentsTest, EachMethodReadsItsOwnKeys) {
  // One row per key: a value other than the default under the key the client sends must come
  // back in the matching field, so a misspelt key in a reader fails here.
  using Read = std::function<EncodableValue(const EncodableMap&)>;
  const struct {
    const char* method;
    const char* key;
    EncodableValue given;
    Read read;
  } rows[] = {
      {"scanLargeFiles", "root", EncodableValue("D:\\r"),
       [&](const EncodableMap& a) { return EncodableValue(largeFileArguments(a, home).root); }},
      {"scanLargeFiles", "minSize", EncodableValue(int64_t{7}),
       [&](const EncodableMap& a) { return EncodableValue(largeFileArguments(a, home).minSize); }},
      {"scanDuplicates", "root", EncodableValue("D:\\d"),
       [&](const EncodableMap& a) { return EncodableValue(duplicateArguments(a, home).root); }},
      {"scanDuplicates", "minSize", EncodableValue(int64_t{9}),
       [&](const EncodableMap& a) { return EncodableValue(duplicateArguments(a, home).minSize); }},
      {"analyzeDisk", "path", EncodableValue("E:\\"),
       [&](const EncodableMap& a) { return EncodableValue(diskArguments(a, home).path); }},
      {"analyzeDisk", "depth", EncodableValue(int64_t{1}),
       [&](const EncodableMap& a) { return EncodableValue(diskArguments(a, home).depth); }},
      {"deleteItems", "paths", stringList({"x", "y"}),
       [](const EncodableMap& a) { return asValue(deleteArguments(a).paths); }},
      {"deleteItems", "toTrash", EncodableValue(true),
       [](const EncodableMap& a) { return EncodableValue(deleteArguments(a).toTrash); }},
      {"appLeftovers", "name", EncodableValue("App"),
       [](const EncodableMap& a) { return EncodableValue(leftoverArguments(a).name); }},
      {"appLeftovers", "publisher", EncodableValue("Acme"),
       [](const EncodableMap& a) { return EncodableValue(leftoverArguments(a).publisher); }},
      {"uninstallApp", "command", EncodableValue("u.exe /S"),
       [](const EncodableMap& a) { return EncodableValue(uninstallArguments(a).command); }},
      {"uninstallApp", "regKey", EncodableValue("HKLM\\k"),
       [](const EncodableMap& a) { return EncodableValue(uninstallArguments(a).regKey); }},
      {"uninstallApp", "paths", stringList({"z"}),
       [](const EncodableMap& a) { return asValue(uninstallArguments(a).paths); }},
      {"uninstallApp", "toTrash", EncodableValue(true),
       [](const EncodableMap& a) { return EncodableValue(uninstallArguments(a).toTrash); }},
      {"setStartupItem", "id", EncodableValue("run:x"),
       [](const EncodableMap& a) { return EncodableValue(startupChangeArguments(a).id); }},
      {"setStartupItem", "kind", EncodableValue("registry"),
       [](const EncodableMap& a) { return EncodableValue(startupChangeArguments(a).kind); }},
      {"setStartupItem", "enabled", EncodableValue(false),
       [](const EncodableMap& a) { return EncodableValue(startupChangeArguments(a).enabled); }},
      {"sizeOf", "path", EncodableValue("C:\\windows"),
       [](const EncodableMap& a) { return EncodableValue(sizeOfPathArgument(a)); }},
  };
  for (const auto& row : rows) {
    const EncodableMap args{{EncodableValue(row.key), row.given}};
    EXPECT_EQ(row.read(args), row.given) << row.method << " \"" << row.key << "\"";
  }
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

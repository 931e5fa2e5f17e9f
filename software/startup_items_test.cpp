#include "software/startup_items.h"

#include <gtest/gtest.h>

#include <cctype>

#include <vector>

#include "software/startup_sources.h"
#include "software/startup_test_support.h"
#include "software/test_registry.h"
#include "win/known_folder.h"

namespace tidvale::software {
namespace {

using testing::boolField;
using testing::listedItem;
using testing::stringField;
using testing::TestFile;
using testing::TestValues;
using testing::uniqueName;

std::string runId(const char* hivePrefix, const wchar_t* runKey, const std::wstring& value) {
  return hivePrefix + win::toUtf8(runKey) + "|" + win::toUtf8(value);
}

TEST(ListStartupItems, ApprovalRecordFirstByteBitZeroDisables) {
  struct Case {
    const char* what;
    std::optional<std::vector<BYTE>> record;  // nothing: no record at all
    bool enabled;
  };
  std::vector<BYTE> oversized(65, 0x03);
  std::vector<BYTE> largest(64, 0x03);
  const Case cases[] = {
      {"0x02", std::vector<BYTE>{0x02, 0, 0, 0}, true},
      {"0x03", std::vector<BYTE>{0x03, 0, 0, 0}, false},
      {"0x06", std::vector<BYTE>{0x06}, true},
      {"0x07", std::vector<BYTE>{0x07}, false},
      {"no record", std::nullopt, true},
      {"empty record", std::vector<BYTE>{}, true},
      {"64 bytes", largest, false},
      {"65 bytes", oversized, true},
  };
  TestValues run(HKEY_CURRENT_USER, kUserRunKey);
  TestValues approval(HKEY_CURRENT_USER, kApprovedRunKey);
  for (const auto& c : cases) {
    const std::wstring name = uniqueName(L"TidvaleApproval");
    run.setString(name, L"C:\\tools\\agent.exe --tray");
    if (c.record) approval.setBinary(name, *c.record);
    const auto item = listedItem(runId("HKCU\\", kUserRunKey, name));
    ASSERT_TRUE(item) << c.what;
    EXPECT_EQ(boolField(*item, "enabled"), c.enabled) << c.what;
  }
  // A record of another type counts as no record.
  const std::wstring name = uniqueName(L"TidvaleApproval");
  run.setString(name, L"C:\\tools\\agent.exe");
  approval.setDword(name, 3);
  const auto item = listedItem(runId("HKCU\\", kUserRunKey, name));
  ASSERT_TRUE(item);
  EXPECT_TRUE(boolField(*item, "enabled"));
}

TEST(ListStartupItems, RunKeyItemsCarryTheirSourceKindAndApprovalKey) {
  TestValues userRun(HKEY_CURRENT_USER, kUserRunKey);
  TestValues userRunOnce(HKEY_CURRENT_USER, kUserRunOnceKey);
  TestValues machineRun(HKEY_LOCAL_MACHINE, kMachineRunKey);
  TestValues machineRun32(HKEY_LOCAL_MACHINE, kMachineRun32Key);
  TestValues userApproval(HKEY_CURRENT_USER, kApprovedRunKey);
  TestValues machineApproval(HKEY_LOCAL_MACHINE, kApprovedRunKey);
  TestValues machineApproval32(HKEY_LOCAL_MACHINE, kApprovedRun32Key);
  const std::vector<BYTE> disabled{0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const std::vector<BYTE> enabled{0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

  // RunOnce items are approved under StartupApproved\Run, as Windows keeps no RunOnce record.
  const std::wstring once = uniqueName(L"TidvaleOnce");
  userRunOnce.setString(once, L"C:\\once.exe");
  userApproval.setBinary(once, disabled);
  // A 32-bit program's machine item is approved under Run32, not Run.
  const std::wstring wow = uniqueName(L"TidvaleWow");
  machineRun32.setString(wow, L"C:\\wow.exe");
  machineApproval32.setBinary(wow, disabled);
  machineApproval.setBinary(wow, enabled);
  const std::wstring machine = uniqueName(L"TidvaleMachine");
  machineRun.setString(machine, L"C:\\machine.exe");
  machineApproval32.setBinary(machine, disabled);

  const struct {
    std::string id;
    const char* kind;
    bool editable;
    bool enabled;
    std::wstring name;
  } cases[] = {
      {runId("HKCU\\", kUserRunOnceKey, once), "userAgent", true, false, once},
      {runId("HKLM\\", kMachineRun32Key, wow), "globalAgent", false, false, wow},
      {runId("HKLM\\", kMachineRunKey, machine), "globalAgent", false, true, machine},
  };
  for (const auto& c : cases) {
    const auto item = listedItem(c.id);
    ASSERT_TRUE(item) << c.id;
    EXPECT_EQ(stringField(*item, "kind"), c.kind) << c.id;
    EXPECT_EQ(boolField(*item, "editable"), c.editable) << c.id;
    EXPECT_EQ(boolField(*item, "enabled"), c.enabled) << c.id;
    EXPECT_EQ(stringField(*item, "name"), win::toUtf8(c.name)) << c.id;
    EXPECT_TRUE(boolField(*item, "runAtLoad")) << c.id;
  }
  EXPECT_NE(runId("HKLM\\", kMachineRun32Key, wow).find("WOW6432Node"), std::string::npos);
}

TEST(ListStartupItems, OnlyTextValuesAreListedAsStored) {
  TestValues run(HKEY_CURRENT_USER, kUserRunKey);
  const std::wstring expand = uniqueName(L"TidvaleExpand");
  run.setString(expand, L"%ProgramFiles%\\Agent\\agent.exe /min", REG_EXPAND_SZ);
  const std::wstring binary = uniqueName(L"TidvaleBinary");
  run.setBinary(binary, {'C', 0, ':', 0, 0, 0});
  const std::wstring number = uniqueName(L"TidvaleDword");
  run.setDword(number, 1);
  const std::wstring tooLong = uniqueName(L"TidvaleLong");
  run.setString(tooLong, std::wstring(kRunValueDataBytes, L'x'));
  const std::wstring after = uniqueName(L"TidvaleAfter");
  run.setString(after, L"C:\\after.exe");

  const auto item = listedItem(runId("HKCU\\", kUserRunKey, expand));
  ASSERT_TRUE(item);
  EXPECT_EQ(stringField(*item, "path"), "%ProgramFiles%\\Agent\\agent.exe /min");
  EXPECT_FALSE(listedItem(runId("HKCU\\", kUserRunKey, binary)));
  EXPECT_FALSE(listedItem(runId("HKCU\\", kUserRunKey, number)));
  EXPECT_FALSE(listedItem(runId("HKCU\\", kUserRunKey, tooLong)));
  EXPECT_TRUE(listedItem(runId("HKCU\\", kUserRunKey, after)));
}

TEST(ListStartupItems, StartupFolderEntriesWithStemsKindsAndApproval) {
  const std::wstring userFolder = win::knownFolderPath(FOLDERID_Startup);
  const std::wstring commonFolder = win::knownFolderPath(FOLDERID_CommonStartup);
  ASSERT_FALSE(userFolder.empty());
  ASSERT_FALSE(commonFolder.empty());
  ASSERT_TRUE(::SHCreateDirectoryExW(nullptr, userFolder.c_str(), nullptr) == ERROR_SUCCESS ||
              ::GetLastError() == ERROR_ALREADY_EXISTS);
  ::SHCreateDirectoryExW(nullptr, commonFolder.c_str(), nullptr);

  const std::wstring stem = uniqueName(L"Updater");
  TestFile shortcut(userFolder + L"\\" + stem + L".lnk");
  TestFile dotted(userFolder + L"\\" + stem + L".v2.cmd");
  TestFile dotFirst(userFolder + L"\\." + stem);
  TestFile common(commonFolder + L"\\" + stem + L".exe");
  TestValues userApproval(HKEY_CURRENT_USER, kApprovedStartupFolderKey);
  TestValues machineApproval(HKEY_LOCAL_MACHINE, kApprovedStartupFolderKey);
  userApproval.setBinary(stem + L".lnk", {0x03});
  userApproval.setBinary(stem, {0x03});  // the name without extension is not the record
  machineApproval.setBinary(stem + L".exe", {0x03});

  const struct {
    const TestFile& file;
    std::wstring name;
    const char* kind;
    bool enabled;
  } cases[] = {
      {shortcut, stem, "loginItem", false},
      {dotted, stem + L".v2", "loginItem", true},
      {dotFirst, L"." + stem, "loginItem", true},
      {common, stem, "daemon", false},
  };
  for (const auto& c : cases) {
    const std::string id = win::toUtf8(c.file.path());
    const auto item = listedItem(id);
    ASSERT_TRUE(item) << id;
    EXPECT_EQ(stringField(*item, "name"), win::toUtf8(c.name)) << id;
    EXPECT_EQ(stringField(*item, "path"), id);
    EXPECT_EQ(stringField(*item, "kind"), c.kind) << id;
    EXPECT_EQ(boolField(*item, "enabled"), c.enabled) << id;
    EXPECT_TRUE(boolField(*item, "editable")) << id;
  }
}

TEST(ListStartupItems, DesktopIniIsNeverListedWhateverItsCase) {
  const std::wstring folder = win::knownFolderPath(FOLDERID_Startup);
  ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  // Windows keeps its own desktop.ini there; make one only when the folder has none.
  std::optional<TestFile> made;
  const std::wstring ini = folder + L"\\DeskTop.INI";
  if (::GetFileAttributesW(ini.c_str()) == INVALID_FILE_ATTRIBUTES) made.emplace(ini);
  const EncodableMap reply = listStartupItems();
  for (const auto& item : std::get<EncodableList>(reply.at(EncodableValue("items")))) {
    const std::string path = stringField(std::get<EncodableMap>(item), "path");
    std::string lower;
    for (char c : path) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_FALSE(lower.ends_with("\\desktop.ini")) << path;
  }
}

}  // namespace
}  // namespace tidvale::software

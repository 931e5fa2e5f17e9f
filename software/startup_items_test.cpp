#include "software/startup_items.h"

#include <gtest/gtest.h>

#include <optional>

#include "core/lower_case.h"
#include "software/startup_sources.h"
#include "software/test_support.h"
#include "win/known_folder.h"

namespace tidvale::software {
namespace {

using testing::field;
using testing::TestFile;
using testing::TestKey;
using testing::uniqueName;

std::optional<EncodableMap> listedItem(const std::string& id) {
  const auto found = testing::entriesWith(listStartupItems(), "items", "id", id);
  EXPECT_LE(found.size(), 1u) << id;
  if (found.empty()) return std::nullopt;
  return found.front();
}

std::string runId(const char* hive, const wchar_t* runKey, const std::wstring& value) {
  return hive + win::toUtf8(runKey) + "|" + win::toUtf8(value);
}

TEST(ListStartupItems, RunValuesWithApprovalRecordsKindsAndIds) {
  TestKey userRun(HKEY_CURRENT_USER, kUserRunKey, 0, TestKey::Shared);
  TestKey userOnce(HKEY_CURRENT_USER, kUserRunOnceKey, 0, TestKey::Shared);
  TestKey machine32(HKEY_LOCAL_MACHINE, kMachineRun32Key, 0, TestKey::Shared);
  TestKey userApproval(HKEY_CURRENT_USER, kApprovedRunKey, 0, TestKey::Shared);
  TestKey machineApproval(HKEY_LOCAL_MACHINE, kApprovedRunKey, 0, TestKey::Shared);
  TestKey machineApproval32(HKEY_LOCAL_MACHINE, kApprovedRun32Key, 0, TestKey::Shared);
  const std::vector<BYTE> off{0x03};

  struct Case {
    const char* what;
    TestKey& run;
    std::string hive;
    const wchar_t* runKey;
    TestKey* approval;  // where the record is written, if any
    std::vector<BYTE> record;
    bool enabled;
  };
  const Case cases[] = {
      {"0x02", userRun, "HKCU\\", kUserRunKey, &userApproval, {0x02, 0, 0, 0}, true},
      {"0x03", userRun, "HKCU\\", kUserRunKey, &userApproval, {0x03, 0, 0, 0}, false},
      {"0x06", userRun, "HKCU\\", kUserRunKey, &userApproval, {0x06}, true},
      {"no record", userRun, "HKCU\\", kUserRunKey, nullptr, {}, true},
      {"empty record", userRun, "HKCU\\", kUserRunKey, &userApproval, {}, true},
      {"64 bytes", userRun, "HKCU\\", kUserRunKey, &userApproval, std::vector<BYTE>(64, 3), false},
      {"65 bytes", userRun, "HKCU\\", kUserRunKey, &userApproval, std::vector<BYTE>(65, 3), true},
      // RunOnce has no record key of its own: StartupApproved\Run holds its records.
      {"RunOnce", userOnce, "HKCU\\", kUserRunOnceKey, &userApproval, off, false},
      // 32-bit machine items are approved under Run32, not under Run.
      {"WOW6432Node in Run32", machine32, "HKLM\\", kMachineRun32Key, &machineApproval32, off,
       false},
      {"WOW6432Node not in Run", machine32, "HKLM\\", kMachineRun32Key, &machineApproval, off,
       true},
  };
  for (const auto& c : cases) {
    const std::wstring name = uniqueName(L"TidvaleRun");
    c.run.set(name, L"C:\\agent.exe --tray");
    if (c.approval) c.approval->set(name, c.record);
    const auto item = listedItem(runId(c.hive.c_str(), c.runKey, name));
    ASSERT_TRUE(item) << c.what;
    EXPECT_EQ(field<bool>(*item, "enabled"), c.enabled) << c.what;
    EXPECT_EQ(field<std::string>(*item, "name"), win::toUtf8(name));
    EXPECT_EQ(field<std::string>(*item, "kind"), c.hive == "HKCU\\" ? "userAgent" : "globalAgent");
    EXPECT_EQ(field<bool>(*item, "editable"), c.hive == "HKCU\\") << c.what;
  }
}

TEST(ListStartupItems, OnlyTextValuesListedAsStored) {
  TestKey run(HKEY_CURRENT_USER, kUserRunKey, 0, TestKey::Shared);
  const std::wstring expand = uniqueName(L"TidvaleExpand"), binary = uniqueName(L"TidvaleBin"),
                     number = uniqueName(L"TidvaleNum"), tooLong = uniqueName(L"TidvaleLong");
  run.set(expand, L"%ProgramFiles%\\agent.exe", REG_EXPAND_SZ);
  run.set(binary, std::vector<BYTE>{'C', 0, 0, 0});
  run.set(number, DWORD{1});
  run.set(tooLong, std::wstring(kRunValueDataBytes, L'x'));
  const auto item = listedItem(runId("HKCU\\", kUserRunKey, expand));
  ASSERT_TRUE(item);
  EXPECT_EQ(field<std::string>(*item, "path"), "%ProgramFiles%\\agent.exe");
  for (const auto& skipped : {binary, number, tooLong}) {
    EXPECT_FALSE(listedItem(runId("HKCU\\", kUserRunKey, skipped))) << win::toUtf8(skipped);
  }
}

TEST(ListStartupItems, StartupFolderEntriesWithStemsAndApprovalButNoDesktopIni) {
  const std::wstring user = win::knownFolderPath(FOLDERID_Startup);
  const std::wstring common = win::knownFolderPath(FOLDERID_CommonStartup);
  ::SHCreateDirectoryExW(nullptr, user.c_str(), nullptr);
  ::SHCreateDirectoryExW(nullptr, common.c_str(), nullptr);
  const std::wstring stem = uniqueName(L"Updater");
  TestFile shortcut(user + L"\\" + stem + L".lnk"), dotted(user + L"\\" + stem + L".v2.cmd"),
      dotFirst(user + L"\\." + stem), machine(common + L"\\" + stem + L".exe");
  std::optional<TestFile> ini;  // Windows keeps its own desktop.ini there; add one if missing
  if (::GetFileAttributesW((user + L"\\desktop.ini").c_str()) == INVALID_FILE_ATTRIBUTES) {
    ini.emplace(user + L"\\DeskTop.INI");
  }
  TestKey userApproval(HKEY_CURRENT_USER, kApprovedStartupFolderKey, 0, TestKey::Shared);
  TestKey machineApproval(HKEY_LOCAL_MACHINE, kApprovedStartupFolderKey, 0, TestKey::Shared);
  userApproval.set(stem + L".lnk", std::vector<BYTE>{0x03});
  userApproval.set(stem, std::vector<BYTE>{0x03});  // not the record: it lacks the extension
  machineApproval.set(stem + L".exe", std::vector<BYTE>{0x03});

  const struct {
    const TestFile& file;
    std::wstring name;
    const char* kind;
    bool enabled;
  } cases[] = {
      {shortcut, stem, "loginItem", false},
      {dotted, stem + L".v2", "loginItem", true},
      {dotFirst, L"." + stem, "loginItem", true},
      {machine, stem, "daemon", false},
  };
  for (const auto& c : cases) {
    const std::string id = win::toUtf8(c.file.path());
    const auto item = listedItem(id);
    ASSERT_TRUE(item) << id;
    EXPECT_EQ(field<std::string>(*item, "name"), win::toUtf8(c.name));
    EXPECT_EQ(field<std::string>(*item, "path"), id);
    EXPECT_EQ(field<std::string>(*item, "kind"), c.kind);
    EXPECT_EQ(field<bool>(*item, "enabled"), c.enabled) << id;
    EXPECT_TRUE(field<bool>(*item, "editable"));
  }
  const EncodableMap all = listStartupItems();
  for (const auto& item : field<EncodableList>(all, "items")) {
    const std::string path = field<std::string>(std::get<EncodableMap>(item), "path");
    EXPECT_FALSE(toLowerUnits(win::toUtf16(path)).ends_with(L"\\desktop.ini")) << path;
  }
}

}  // namespace
}  // namespace tidvale::software

#include "software/startup_changes.h"

#include <gtest/gtest.h>

#include <cwctype>

#include "shell/test_temp_folder.h"
#include "software/startup_items.h"
#include "software/startup_sources.h"
#include "software/system_message.h"
#include "software/test_support.h"
#include "win/known_folder.h"

namespace tidvale::software {
namespace {

using testing::TestFile;
using testing::TestKey;
using testing::uniqueName;

std::string runId(const char* hive, const wchar_t* runKey, const std::wstring& value) {
  return hive + win::toUtf8(runKey) + "|" + win::toUtf8(value);
}
EncodableMap reply(bool ok, const std::string& error) {
  return EncodableMap{{EncodableValue("ok"), EncodableValue(ok)},
                      {EncodableValue("error"), EncodableValue(error)}};
}
int64_t nowTicks() {
  FILETIME now = {};
  ::GetSystemTimeAsFileTime(&now);
  return (static_cast<int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}
bool listed(const std::string& id) {
  return !testing::entriesWith(listStartupItems(), "items", "id", id).empty();
}

TEST(SetStartupItem, WritesTheTwelveByteRecordWhereTheListingReadsIt) {
  const std::wstring name = uniqueName(L"TidvaleSwitch");
  TestKey userRun(HKEY_CURRENT_USER, kApprovedRunKey, 0, TestKey::Shared);
  TestKey machineRun(HKEY_LOCAL_MACHINE, kApprovedRunKey, 0, TestKey::Shared);
  TestKey machineRun32(HKEY_LOCAL_MACHINE, kApprovedRun32Key, 0, TestKey::Shared);
  TestKey userFolder(HKEY_CURRENT_USER, kApprovedStartupFolderKey, 0, TestKey::Shared);
  TestKey machineFolder(HKEY_LOCAL_MACHINE, kApprovedStartupFolderKey, 0, TestKey::Shared);
  const std::wstring lnk = name + L".lnk";
  const std::string lnkPath = "C:\\Startup\\" + win::toUtf8(lnk);
  const struct {
    std::string id;
    const char* kind;
    TestKey& key;
    std::wstring value;
  } cases[] = {
      {runId("HKCU\\", kUserRunKey, name), kUserAgentKind, userRun, name},
      {runId("HKCU\\", kUserRunOnceKey, name), kUserAgentKind, userRun, name},
      {runId("HKLM\\", kMachineRunKey, name), kGlobalAgentKind, machineRun, name},
      {runId("HKLM\\", kMachineRun32Key, name), kGlobalAgentKind, machineRun32, name},
      {lnkPath, kLoginItemKind, userFolder, lnk},
      {lnkPath, kDaemonKind, machineFolder, lnk},
  };
  for (const auto& c : cases) {
    c.key.track(c.value);
    const int64_t before = nowTicks();
    EXPECT_EQ(setStartupItem(c.id, c.kind, false), reply(true, "")) << c.id;
    const int64_t after = nowTicks();
    DWORD type = 0;
    const std::vector<BYTE> off = c.key.read(c.value, &type);
    ASSERT_EQ(off.size(), kApprovalRecordBytes) << c.id;
    EXPECT_EQ(type, DWORD{REG_BINARY});
    EXPECT_EQ(std::vector<BYTE>(off.begin(), off.begin() + 4), std::vector<BYTE>({3, 0, 0, 0}));
    int64_t stamp = 0;
    for (int i = 11; i >= 4; --i) stamp = (stamp << 8) | off[i];
    EXPECT_TRUE(stamp >= before && stamp <= after) << c.id;  // little-endian FILETIME of now

    EXPECT_EQ(setStartupItem(c.id, c.kind, true), reply(true, "")) << c.id;
    EXPECT_EQ(c.key.read(c.value), std::vector<BYTE>({2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    c.key.remove(c.value);
  }
}

TEST(RemoveStartupItem, DeletesRunValuesOfTheFourKeysOnlyAndKeepsTheRecord) {
  TestKey run(HKEY_CURRENT_USER, kUserRunKey, 0, TestKey::Shared);
  TestKey run32(HKEY_LOCAL_MACHINE, kMachineRun32Key, 0, TestKey::Shared);
  TestKey approval(HKEY_CURRENT_USER, kApprovedRunKey, 0, TestKey::Shared);
  const std::wstring victimPath = L"Software\\TidvaleTest\\" + uniqueName(L"Victim");
  TestKey victim(HKEY_CURRENT_USER, victimPath);
  const std::wstring name = uniqueName(L"TidvaleRemove");
  run.set(name, L"C:\\agent.exe");
  run32.set(name, L"C:\\agent32.exe");
  approval.set(name, std::vector<BYTE>{0x03});
  victim.set(L"Keep", L"data");
  const std::string value = win::toUtf8(name), runKey = win::toUtf8(kUserRunKey);

  for (const std::string& id : {
           "HKCU\\" + win::toUtf8(victimPath) + "|Keep",
           "HKCU\\" + runKey + "\\|" + value,
           "HKCU\\" + runKey + "Services|" + value,
           "HKCU\\\\" + runKey + "|" + value,
           "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce|" + value,
           "HKCR\\" + runKey + "|" + value,
           runKey + "|" + value,
           "HKCU\\" + runKey,
           "HKCU\\" + runKey + "|" + value + std::string("\0x", 2),  // cut short: another value
           std::string(),
       }) {
    EXPECT_EQ(removeStartupItem(id, kUserAgentKind), reply(false, kBadIdError)) << id;
  }
  EXPECT_FALSE(victim.read(L"Keep").empty());
  EXPECT_EQ(setStartupItem("HKCU\\" + runKey, kUserAgentKind, false), reply(false, kBadIdError));

  const std::string id = runId("HKCU\\", kUserRunKey, name);
  EXPECT_EQ(removeStartupItem(id, kUserAgentKind), reply(true, ""));
  EXPECT_FALSE(listed(id));
  EXPECT_EQ(approval.read(name), std::vector<BYTE>{0x03});
  EXPECT_EQ(removeStartupItem(id, kUserAgentKind), reply(false, kAccessDeniedError));
  // Key paths compare ignoring case, as the registry's do.
  EXPECT_EQ(removeStartupItem("hklm\\software\\wow6432node\\microsoft\\windows\\currentversion\\"
                              "run|" +
                                  value,
                              kGlobalAgentKind),
            reply(true, ""));
  EXPECT_TRUE(run32.read(name).empty());
}

TEST(RemoveStartupItem, StartupFolderEntriesOnlyDirectlyInsideTheKindsFolder) {
  const std::wstring folder = win::knownFolderPath(FOLDERID_Startup);
  ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  shell::testing::TestTempFolder outside;
  TestFile elsewhere(outside.child(L"victim.txt"));
  const std::wstring sub = folder + L"\\" + uniqueName(L"TidvaleSub");
  ASSERT_TRUE(::CreateDirectoryW(sub.c_str(), nullptr));
  std::optional<TestFile> nested(std::in_place, sub + L"\\nested.lnk");
  TestFile own(folder + L"\\" + uniqueName(L"Own") + L".lnk");

  const struct {
    std::wstring id;
    const char* kind;
  } refused[] = {
      {elsewhere.path(), kLoginItemKind},
      {folder + L"\\..\\victim.lnk", kLoginItemKind},
      {sub + L"\\nested.lnk", kLoginItemKind},
      {folder, kLoginItemKind},
      {folder + L"\\", kLoginItemKind},
      {own.path(), kDaemonKind},  // the user's folder is not the all-users one
      {own.path() + L":stream", kLoginItemKind},
      {own.path() + std::wstring(L"\0x", 2), kLoginItemKind},
      {L"relative.lnk", kLoginItemKind},
  };
  for (const auto& c : refused) {
    EXPECT_EQ(removeStartupItem(win::toUtf8(c.id), c.kind), reply(false, kBadIdError))
        << win::toUtf8(c.id);
  }
  EXPECT_TRUE(elsewhere.exists() && nested->exists() && own.exists());

  // A folder that is not empty stays, with the system's text for the reason.
  EXPECT_EQ(removeStartupItem(win::toUtf8(sub), kLoginItemKind),
            reply(false, systemMessageText(ERROR_DIR_NOT_EMPTY)));
  nested.reset();
  EXPECT_EQ(removeStartupItem(win::toUtf8(sub), kLoginItemKind), reply(true, ""));
  // Letter case and separators do not matter once the path is normalised.
  std::wstring shouted = folder + L"/" + own.path().substr(folder.size() + 1);
  for (auto& unit : shouted) unit = static_cast<wchar_t>(std::towupper(unit));
  EXPECT_EQ(removeStartupItem(win::toUtf8(shouted), kLoginItemKind), reply(true, ""));
  EXPECT_FALSE(own.exists());
  EXPECT_EQ(removeStartupItem(win::toUtf8(own.path()), kLoginItemKind), reply(true, ""));
}

TEST(SystemMessageText, TrimmedSystemTextOrUnknown) {
  const std::string denied = systemMessageText(ERROR_ACCESS_DENIED);
  EXPECT_NE(denied.find("ccess"), std::string::npos) << denied;
  EXPECT_EQ(std::string(" \t\r\n").find(denied.back()), std::string::npos) << denied;
  EXPECT_EQ(systemMessageText(0x20FFFFFF), kUnknownErrorText);
}

}  // namespace
}  // namespace tidvale::software

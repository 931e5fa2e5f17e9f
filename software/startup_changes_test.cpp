#include "software/startup_changes.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <optional>
#include <vector>

#include "shell/test_temp_folder.h"
#include "software/startup_sources.h"
#include "software/startup_test_support.h"
#include "software/system_message.h"
#include "software/test_registry.h"
#include "win/known_folder.h"

namespace tidvale::software {
namespace {

using shell::testing::TestTempFolder;
using testing::boolField;
using testing::listedItem;
using testing::stringField;
using testing::TestFile;
using testing::TestValues;
using testing::uniqueName;

constexpr int64_t kTicksPerSecond = 10'000'000;

std::string runId(const char* hivePrefix, const wchar_t* runKey, const std::wstring& value) {
  return hivePrefix + win::toUtf8(runKey) + "|" + win::toUtf8(value);
}

EncodableMap reply(bool ok, const std::string& error) {
  return EncodableMap{{EncodableValue("ok"), EncodableValue(ok)},
                      {EncodableValue("error"), EncodableValue(error)}};
}

// The stored record, read back by a route of its own.
std::vector<BYTE> storedRecord(HKEY hive, const wchar_t* key, const std::wstring& name,
                               DWORD* type) {
  win::UniqueKey opened;
  if (::RegOpenKeyExW(hive, key, 0, KEY_READ, opened.put()) != ERROR_SUCCESS) return {};
  std::vector<BYTE> bytes(64);
  DWORD size = static_cast<DWORD>(bytes.size());
  if (::RegQueryValueExW(opened.get(), name.c_str(), nullptr, type, bytes.data(), &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  bytes.resize(size);
  return bytes;
}

int64_t nowTicks() {
  FILETIME now = {};
  ::GetSystemTimeAsFileTime(&now);
  return (static_cast<int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

TEST(ApprovalRecord, StateByteThenZerosThenLittleEndianTimeWhenDisabled) {
  const FILETIME time = {0x89ABCDEF, 0x01234567};
  const ApprovalRecord disabled = approvalRecord(false, time);
  const ApprovalRecord expectedDisabled = {0x03, 0,    0,    0,    0xEF, 0xCD,
                                           0xAB, 0x89, 0x67, 0x45, 0x23, 0x01};
  EXPECT_EQ(disabled, expectedDisabled);
  const ApprovalRecord enabled = approvalRecord(true, time);
  const ApprovalRecord expectedEnabled = {0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(enabled, expectedEnabled);
}

TEST(SetStartupItem, DisableThenEnableWritesTheRecordsByteForByte) {
  TestValues run(HKEY_CURRENT_USER, kUserRunKey);
  TestValues approval(HKEY_CURRENT_USER, kApprovedRunKey);
  const std::wstring name = uniqueName(L"TidvaleSwitch");
  run.setString(name, L"C:\\agent.exe");
  approval.track(name);
  const std::string id = runId("HKCU\\", kUserRunKey, name);

  const int64_t before = nowTicks();
  EXPECT_EQ(setStartupItem(id, kUserAgentKind, false), reply(true, ""));
  const int64_t after = nowTicks();
  DWORD type = 0;
  const std::vector<BYTE> off = storedRecord(HKEY_CURRENT_USER, kApprovedRunKey, name, &type);
  ASSERT_EQ(off.size(), kApprovalRecordBytes);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(off[0], 0x03);
  EXPECT_EQ(off[1] | off[2] | off[3], 0);
  int64_t stamp = 0;
  for (int i = 7; i >= 0; --i) stamp = (stamp << 8) | off[kApprovalTimeOffset + i];
  EXPECT_GE(stamp, before - kTicksPerSecond);
  EXPECT_LE(stamp, after + kTicksPerSecond);
  const auto listedOff = listedItem(id);
  ASSERT_TRUE(listedOff);
  EXPECT_FALSE(boolField(*listedOff, "enabled"));

  EXPECT_EQ(setStartupItem(id, kUserAgentKind, true), reply(true, ""));
  const std::vector<BYTE> on = storedRecord(HKEY_CURRENT_USER, kApprovedRunKey, name, &type);
  EXPECT_EQ(on, std::vector<BYTE>({0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  const auto listedOn = listedItem(id);
  ASSERT_TRUE(listedOn);
  EXPECT_TRUE(boolField(*listedOn, "enabled"));
}

TEST(SetStartupItem, RecordGoesToTheKeyAndHiveTheIdAndKindName) {
  const std::wstring name = uniqueName(L"TidvaleWhere");
  TestValues userRun(HKEY_CURRENT_USER, kApprovedRunKey);
  TestValues machineRun(HKEY_LOCAL_MACHINE, kApprovedRunKey);
  TestValues machineRun32(HKEY_LOCAL_MACHINE, kApprovedRun32Key);
  TestValues userFolder(HKEY_CURRENT_USER, kApprovedStartupFolderKey);
  TestValues machineFolder(HKEY_LOCAL_MACHINE, kApprovedStartupFolderKey);
  for (auto* values : {&userRun, &machineRun, &machineRun32}) values->track(name);
  for (auto* values : {&userFolder, &machineFolder}) values->track(name + L".lnk");

  const struct {
    std::string id;
    const char* kind;
    HKEY hive;
    const wchar_t* key;
    std::wstring value;
  } cases[] = {
      {runId("HKLM\\", kMachineRun32Key, name), kGlobalAgentKind, HKEY_LOCAL_MACHINE,
       kApprovedRun32Key, name},
      {runId("HKLM\\", kMachineRunKey, name), kGlobalAgentKind, HKEY_LOCAL_MACHINE, kApprovedRunKey,
       name},
      {runId("HKCU\\", kUserRunOnceKey, name), kUserAgentKind, HKEY_CURRENT_USER, kApprovedRunKey,
       name},
      {"C:\\Startup\\" + win::toUtf8(name) + ".lnk", kLoginItemKind, HKEY_CURRENT_USER,
       kApprovedStartupFolderKey, name + L".lnk"},
      {"C:\\Startup\\" + win::toUtf8(name) + ".lnk", kDaemonKind, HKEY_LOCAL_MACHINE,
       kApprovedStartupFolderKey, name + L".lnk"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(setStartupItem(c.id, c.kind, false), reply(true, "")) << c.id;
    DWORD type = 0;
    const auto record = storedRecord(c.hive, c.key, c.value, &type);
    ASSERT_EQ(record.size(), kApprovalRecordBytes) << c.id;
    EXPECT_EQ(record[0], kApprovalDisabled) << c.id;
    ASSERT_EQ(::RegDeleteKeyValueW(c.hive, c.key, c.value.c_str()), ERROR_SUCCESS) << c.id;
  }
}

TEST(StartupChanges, RegistryIdWithoutSeparatorIsABadId) {
  const std::string id = "HKCU\\" + win::toUtf8(kUserRunKey);
  EXPECT_EQ(setStartupItem(id, kUserAgentKind, false), reply(false, kBadIdError));
  EXPECT_EQ(removeStartupItem(id, kUserAgentKind), reply(false, kBadIdError));
  EXPECT_EQ(removeStartupItem("", ""), reply(false, kBadIdError));
}

TEST(RemoveStartupItem, DeletesRunValuesOnceAndLeavesTheApprovalRecord) {
  TestValues run(HKEY_CURRENT_USER, kUserRunKey);
  TestValues machineRun32(HKEY_LOCAL_MACHINE, kMachineRun32Key);
  TestValues approval(HKEY_CURRENT_USER, kApprovedRunKey);
  const std::wstring name = uniqueName(L"TidvaleRemove");
  run.setString(name, L"C:\\agent.exe");
  approval.setBinary(name, {0x03});
  machineRun32.setString(name, L"C:\\agent32.exe");

  const std::string id = runId("HKCU\\", kUserRunKey, name);
  EXPECT_EQ(removeStartupItem(id, kUserAgentKind), reply(true, ""));
  EXPECT_FALSE(listedItem(id));
  DWORD type = 0;
  EXPECT_EQ(storedRecord(HKEY_CURRENT_USER, kApprovedRunKey, name, &type), std::vector<BYTE>{0x03});
  EXPECT_EQ(removeStartupItem(id, kUserAgentKind), reply(false, kAccessDeniedError));

  // Key paths are compared ignoring case, as the registry does.
  std::string lowerId = runId("hklm\\", kMachineRun32Key, name);
  for (size_t i = 0; i < lowerId.find('|'); ++i)
    lowerId[i] = static_cast<char>(std::tolower(lowerId[i]));
  EXPECT_EQ(removeStartupItem(lowerId, kGlobalAgentKind), reply(true, ""));
  EXPECT_FALSE(listedItem(runId("HKLM\\", kMachineRun32Key, name)));
}

TEST(RemoveStartupItem, RefusesRegistryIdsOutsideTheFourRunKeys) {
  const std::wstring other = L"Software\\TidvaleTest\\" + uniqueName(L"Victim");
  testing::TestKey victim(HKEY_CURRENT_USER, other);
  victim.setString(L"Keep", L"data");
  TestValues run(HKEY_CURRENT_USER, kUserRunKey);
  const std::wstring name = uniqueName(L"TidvaleKeep");
  run.setString(name, L"C:\\agent.exe");
  const std::string runKey = win::toUtf8(kUserRunKey);

  const std::string refused[] = {
      "HKCU\\" + win::toUtf8(other) + "|Keep",
      "HKLM\\" + win::toUtf8(other) + "|Keep",
      "HKCU\\" + runKey + "\\|" + win::toUtf8(name),
      "HKCU\\" + runKey + "\\Sub|" + win::toUtf8(name),
      "HKCU\\" + runKey + "Services|" + win::toUtf8(name),
      "HKCU\\\\" + runKey + "|" + win::toUtf8(name),
      "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce|" + win::toUtf8(name),
      "HKCR\\" + runKey + "|" + win::toUtf8(name),
      runKey + "|" + win::toUtf8(name),
      "HKCU|" + win::toUtf8(name),
  };
  for (const auto& id : refused) {
    EXPECT_EQ(removeStartupItem(id, kUserAgentKind), reply(false, kBadIdError)) << id;
  }
  win::UniqueKey key;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, other.c_str(), 0, KEY_READ, key.put()),
            ERROR_SUCCESS);
  EXPECT_EQ(::RegQueryValueExW(key.get(), L"Keep", nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_TRUE(listedItem(runId("HKCU\\", kUserRunKey, name)));
}

class StartupFolderRemoval : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(folder_.empty());
    ::SHCreateDirectoryExW(nullptr, folder_.c_str(), nullptr);
  }
  const std::wstring folder_ = win::knownFolderPath(FOLDERID_Startup);
};

TEST_F(StartupFolderRemoval, RemovesEntriesDirectlyInsideTheKindsFolder) {
  TestFile plain(folder_ + L"\\" + uniqueName(L"Updater") + L".lnk");
  EXPECT_EQ(removeStartupItem(win::toUtf8(plain.path()), kLoginItemKind), reply(true, ""));
  EXPECT_FALSE(plain.exists());
  // Letter case and separators do not matter once the path is normalised.
  std::wstring upper = folder_ + L"/" + uniqueName(L"UPDATER") + L".lnk";
  TestFile shouting(upper);
  for (auto& unit : upper) unit = static_cast<wchar_t>(std::towupper(unit));
  EXPECT_EQ(removeStartupItem(win::toUtf8(upper), kLoginItemKind), reply(true, ""));
  EXPECT_FALSE(shouting.exists());
  // Already gone: nothing left to do.
  EXPECT_EQ(removeStartupItem(win::toUtf8(plain.path()), kLoginItemKind), reply(true, ""));
}

TEST_F(StartupFolderRemoval, FailedRemovalRepliesWithTheSystemsText) {
  const std::wstring sub = folder_ + L"\\" + uniqueName(L"TidvaleFolder");
  ASSERT_TRUE(::CreateDirectoryW(sub.c_str(), nullptr));
  {
    TestFile inside(sub + L"\\keep.txt");
    const EncodableMap result = removeStartupItem(win::toUtf8(sub), kLoginItemKind);
    EXPECT_EQ(result, reply(false, systemMessageText(ERROR_DIR_NOT_EMPTY)));
    EXPECT_TRUE(inside.exists());
  }
  // Empty now: a folder entry goes like a file.
  EXPECT_EQ(removeStartupItem(win::toUtf8(sub), kLoginItemKind), reply(true, ""));
  EXPECT_EQ(::GetFileAttributesW(sub.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(StartupFolderRemoval, RefusesPathsOutsideTheKindsFolder) {
  TestTempFolder outside;
  TestFile elsewhere(outside.child(L"victim.txt"));
  const std::wstring sub = folder_ + L"\\" + uniqueName(L"TidvaleSub");
  ASSERT_TRUE(::CreateDirectoryW(sub.c_str(), nullptr));
  std::optional<TestFile> nested(std::in_place, sub + L"\\nested.lnk");
  TestFile own(folder_ + L"\\" + uniqueName(L"Own") + L".lnk");

  const struct {
    std::wstring id;
    const char* kind;
  } refused[] = {
      {elsewhere.path(), kLoginItemKind},
      {folder_ + L"\\..\\victim.lnk", kLoginItemKind},
      {folder_ + L"\\sub\\..\\..\\victim.lnk", kLoginItemKind},
      {sub + L"\\nested.lnk", kLoginItemKind},
      {folder_ + L"\\..\\" + folder_.substr(folder_.rfind(L'\\') + 1), kLoginItemKind},
      {folder_, kLoginItemKind},
      {folder_ + L"\\", kLoginItemKind},
      {own.path(), kDaemonKind},  // the user's folder is not the all-users one
      {own.path() + L":stream", kLoginItemKind},
      {L"relative.lnk", kLoginItemKind},
      {L"", kLoginItemKind},
  };
  for (const auto& c : refused) {
    EXPECT_EQ(removeStartupItem(win::toUtf8(c.id), c.kind), reply(false, kBadIdError))
        << win::toUtf8(c.id);
  }
  EXPECT_TRUE(elsewhere.exists());
  EXPECT_TRUE(nested->exists());
  EXPECT_TRUE(own.exists());
  EXPECT_NE(::GetFileAttributesW(folder_.c_str()), INVALID_FILE_ATTRIBUTES);
  nested.reset();
  EXPECT_TRUE(::RemoveDirectoryW(sub.c_str()));
}

TEST(SystemMessageText, TrimmedSystemTextOrUnknown) {
  for (const DWORD code : {ERROR_ACCESS_DENIED, ERROR_DIR_NOT_EMPTY, ERROR_FILE_NOT_FOUND}) {
    const std::string text = systemMessageText(code);
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_NE(text, kUnknownErrorText) << code;
    EXPECT_EQ(std::string(" \t\r\n").find(text.back()), std::string::npos) << code;
    EXPECT_NE(text.back(), '\0') << code;
  }
  EXPECT_NE(systemMessageText(ERROR_ACCESS_DENIED).find("ccess"), std::string::npos);
  EXPECT_EQ(systemMessageText(0x20FFFFFF), kUnknownErrorText);
}

}  // namespace
}  // namespace tidvale::software

#include "system/system_summary.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "system/disks.h"
#include "win/text.h"
#include "win/unique_resource.h"

namespace tidvale::system {
namespace {

constexpr wchar_t kCurrentVersionKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// A string value read with the plain key calls rather than the code under test.
std::wstring registryString(const wchar_t* subKey, const wchar_t* value) {
  win::UniqueKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
    return L"<missing key>";
  }
  wchar_t data[512]{};
  DWORD type = 0;
  DWORD bytes = sizeof data - sizeof(wchar_t);
  if (::RegQueryValueExW(key.get(), value, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return L"<missing value>";
  }
  return data;
}

TEST(SystemSummary, ProcessorNameIsTheRegistryValueAsStored) {
  const std::wstring stored = registryString(kProcessorKey, kProcessorNameValue);
  ASSERT_NE(stored.front(), L'<') << win::toUtf8(stored);
  EXPECT_EQ(readProcessorName(), win::toUtf8(stored));
}

TEST(SystemSummary, VersionIsTheOneTheSystemRecordsForItself) {
  const OsVersion version = readOsVersion();
  EXPECT_EQ(std::to_wstring(version.build),
            registryString(kCurrentVersionKey, L"CurrentBuildNumber"));
  EXPECT_EQ(version.major, 10u);
}

TEST(SystemSummary, DisksComeInLetterOrderWithTheSystemDriveMarked) {
  wchar_t windows[MAX_PATH]{};
  ASSERT_GT(::GetWindowsDirectoryW(windows, MAX_PATH), 0u);
  const auto disks = readDisks();
  ASSERT_FALSE(disks.empty());
  int systemDrives = 0;
  char previous = '@';
  for (const DiskFigures& disk : disks) {
    EXPECT_GT(disk.letter, previous) << "letters not ascending";
    previous = disk.letter;
    EXPECT_GT(disk.total, 0) << disk.letter;
    EXPECT_GE(disk.free, 0) << disk.letter;
    EXPECT_LE(disk.free, disk.total) << disk.letter;
    if (disk.isSystem) {
      ++systemDrives;
      EXPECT_EQ(static_cast<wchar_t>(disk.letter), ::towupper(windows[0]));
    }
  }
  EXPECT_EQ(systemDrives, 1);
}

std::wstring environmentVariable(const wchar_t* name) {
  wchar_t value[MAX_PATH]{};
  const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH);
  return length > 0 && length < MAX_PATH ? value : L"";
}

TEST(SystemSummary, ReplyFiguresMatchOtherSourcesOfThePlatform) {
  const EncodableMap summary = systemInfo();
  const auto at = [&summary](const char* key) -> const EncodableValue& {
    return summary.at(EncodableValue(key));
  };
  EXPECT_EQ(summary.size(), 12u);
  EXPECT_EQ(at("cores"),
            EncodableValue(static_cast<int32_t>(::GetActiveProcessorCount(ALL_PROCESSOR_GROUPS))));
  const std::wstring profile = environmentVariable(L"USERPROFILE");
  ASSERT_FALSE(profile.empty());
  EXPECT_EQ(at("home"), EncodableValue(win::toUtf8(profile)));
  EXPECT_EQ(at("user"), EncodableValue(win::toUtf8(environmentVariable(L"USERNAME"))));
  EXPECT_EQ(at("host"), EncodableValue(win::toUtf8(environmentVariable(L"COMPUTERNAME"))));
  MEMORYSTATUSEX memory{};
  memory.dwLength = sizeof memory;
  ASSERT_TRUE(::GlobalMemoryStatusEx(&memory));
  EXPECT_EQ(at("memTotal"), EncodableValue(static_cast<int64_t>(memory.ullTotalPhys)));
}

}  // namespace
}  // namespace tidvale::system

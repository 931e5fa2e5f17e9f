#include "system/system_summary.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "win/text.h"
#include "win/unique_resource.h"

namespace tidvale::system {
namespace {

// A string value read with the plain key calls rather than the code under test.
std::wstring registryString(const wchar_t* subKey, const wchar_t* value) {
  win::UniqueKey key;
  wchar_t data[512]{};
  DWORD type = 0;
  DWORD bytes = sizeof data - sizeof(wchar_t);
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS ||
      ::RegQueryValueExW(key.get(), value, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return L"<unreadable>";
  }
  return data;
}

TEST(SystemSummary, ProcessorNameAndBuildAreWhatTheRegistryRecords) {
  const std::wstring processor = registryString(kProcessorKey, kProcessorNameValue);
  ASSERT_NE(processor, L"<unreadable>");
  EXPECT_EQ(readProcessorName(), win::toUtf8(processor));
  const std::wstring build =
      registryString(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"CurrentBuildNumber");
  EXPECT_EQ(std::to_wstring(readOsVersion().build), build);
}

}  // namespace
}  // namespace tidvale::system

#pragma once
// A registry key of the test's own under <root>\Software\TidvaleTest, removed again at the end.
// Test code only: construction and removal failures are reported as test failures.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "win/unique_resource.h"

namespace tidvale::shell::testing {

inline constexpr wchar_t kTestKeyParent[] = L"Software\\TidvaleTest";

class TestRegistryKey {
 public:
  // `view` is 0 (the process's own view), KEY_WOW64_64KEY or KEY_WOW64_32KEY. Two keys built
  // with the same `name` in different views are the same path seen through each view.
  TestRegistryKey(HKEY root, const std::wstring& name, REGSAM view = 0)
      : root_(root), view_(view), path_(std::wstring(kTestKeyParent) + L"\\" + name) {
    const LSTATUS status = ::RegCreateKeyExW(root_, path_.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS | view_, nullptr, key_.put(), nullptr);
    EXPECT_EQ(status, ERROR_SUCCESS) << "cannot create test key";
  }
  TestRegistryKey(const TestRegistryKey&) = delete;
  TestRegistryKey& operator=(const TestRegistryKey&) = delete;

  ~TestRegistryKey() {
    key_.reset();
    win::UniqueKey parent;
    if (::RegOpenKeyExW(root_, kTestKeyParent, 0, KEY_ALL_ACCESS | view_, parent.put()) !=
        ERROR_SUCCESS) {
      ADD_FAILURE() << "test key parent vanished";
      return;
    }
    const std::wstring name = path_.substr(std::size(kTestKeyParent));
    EXPECT_EQ(::RegDeleteTreeW(parent.get(), name.c_str()), ERROR_SUCCESS);
    win::UniqueKey leftover;
    EXPECT_EQ(::RegOpenKeyExW(parent.get(), name.c_str(), 0, KEY_READ, leftover.put()),
              ERROR_FILE_NOT_FOUND)
        << "test key left behind";
    parent.reset();
    // Fails harmlessly while other tests still hold keys under the parent.
    ::RegDeleteKeyExW(root_, kTestKeyParent, view_, 0);
  }

  // The key's path below its root, as the code under test would be given it.
  const std::wstring& path() const { return path_; }

  void setString(const wchar_t* value, const std::wstring& data) {
    const auto bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(::RegSetValueExW(key_.get(), value, 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(data.c_str()), bytes),
              ERROR_SUCCESS);
  }
  void setDword(const wchar_t* value, DWORD data) {
    EXPECT_EQ(::RegSetValueExW(key_.get(), value, 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&data), sizeof data),
              ERROR_SUCCESS);
  }

 private:
  HKEY root_;
  REGSAM view_;
  std::wstring path_;
  win::UniqueKey key_;
};

// A key name unique to this process and call, so parallel test processes never share keys.
inline std::wstring uniqueKeyName(const wchar_t* stem) {
  static std::atomic<unsigned> counter{0};
  return std::wstring(stem) + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
         std::to_wstring(counter++);
}

}  // namespace tidvale::shell::testing

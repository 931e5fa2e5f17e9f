#pragma once
// A folder of the test's own under the prefix's temporary folder, removed again at the end.
// Test code only: a folder that cannot be created or fully removed fails the test.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <system_error>

namespace tidvale::shell::testing {

class TestTempFolder {
 public:
  TestTempFolder() {
    static std::atomic<unsigned> counter{0};
    wchar_t base[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(static_cast<DWORD>(std::size(base)), base);
    EXPECT_GT(length, 0u);
    path_ = std::wstring(base, length) + L"tidvale-shell-" +
            std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(counter++);
    EXPECT_TRUE(::CreateDirectoryW(path_.c_str(), nullptr)) << "temp folder exists already";
  }
  TestTempFolder(const TestTempFolder&) = delete;
  TestTempFolder& operator=(const TestTempFolder&) = delete;

  // The tree holds only plain files and folders the test made, so removing it is safe.
  ~TestTempFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
    EXPECT_FALSE(error) << error.message();
    EXPECT_EQ(::GetFileAttributesW(path_.c_str()), INVALID_FILE_ATTRIBUTES)
        << "temp folder left behind";
  }

  const std::wstring& path() const { return path_; }
  std::wstring child(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

}  // namespace tidvale::shell::testing

#include "shell/shell_integration.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "shell/test_temp_folder.h"
#include "win/known_folder.h"
#include "win/text.h"
#include "win/unique_resource.h"

namespace tidvale::shell {
namespace {

using namespace std::chrono_literals;
using testing::TestTempFolder;

TEST(RevealParameters, SelectSwitchWithThePathQuotedVerbatim) {
  struct Case {
    const wchar_t* path;
    std::optional<std::wstring> expected;
  };
  const Case cases[] = {
      {L"", L"/select,\"\""},
      {L"C:\\users\\a b\\file.txt", L"/select,\"C:\\users\\a b\\file.txt\""},
      // A quote would end the quoted path and add parameters: nothing is started.
      {L"C:\\say \"hi\".txt", std::nullopt},
      {L"C:\\x\" /root,C:\\Windows", std::nullopt},
      {L"C:\\trailing\\", L"/select,\"C:\\trailing\\\""},
      {L"D:\\\u00e9t\u00e9\\\U0001F600", L"/select,\"D:\\\u00e9t\u00e9\\\U0001F600\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(revealParameters(c.path), c.expected) << win::toUtf8(c.path);
  }
}

// Case-insensitive, as Windows compares paths.
bool samePath(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring environment(const wchar_t* name) {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = ::GetEnvironmentVariableW(name, buffer, MAX_PATH);
  return length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

// "homeDir" answers the profile folder of the prefix: C:\users\<user>, an existing folder.
TEST(HomeFolder, IsTheProfileFolderOfThePrefix) {
  const std::wstring home = win::homeFolder();
  ASSERT_FALSE(home.empty());
  EXPECT_TRUE(samePath(home, environment(L"USERPROFILE"))) << win::toUtf8(home);

  wchar_t user[256] = {};
  DWORD userUnits = static_cast<DWORD>(std::size(user));
  ASSERT_TRUE(::GetUserNameW(user, &userUnits));
  const std::wstring expected = environment(L"SystemDrive") + L"\\users\\" + user;
  EXPECT_TRUE(samePath(home, expected)) << win::toUtf8(home) << " vs " << win::toUtf8(expected);

  const DWORD attributes = ::GetFileAttributesW(home.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(win::toUtf16(win::toUtf8(home)), home);
}

// Polls `ready` until it holds or `timeout` has passed.
template <typename Condition>
bool waitFor(Condition ready, std::chrono::seconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!ready()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

bool exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// True once no other process has `path` open, so the folder holding it can be removed.
bool openableExclusively(const std::wstring& path) {
  const win::UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.valid();
}

// Opening a script runs it, which shows that the path reached the shell whole, spaces included.
TEST(OpenPath, RunsTheAssociatedProgramOnThePath) {
  TestTempFolder temp;
  const std::wstring script = temp.child(L"open me.cmd");
  const std::wstring marker = temp.child(L"opened.txt");
  {
    std::ofstream out(std::filesystem::path(script), std::ios::binary);
    out << "@echo opened> \"%~dp0opened.txt\"\r\n";
  }
  openPath(script);
  EXPECT_TRUE(waitFor([&] { return exists(marker); }, 60s)) << "the script did not run";
  EXPECT_TRUE(waitFor([&] { return openableExclusively(script); }, 60s))
      << "the script's shell did not end";
}

}  // namespace
}  // namespace tidvale::shell

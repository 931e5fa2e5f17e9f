#include "fs/extended_path.h"

#include <gtest/gtest.h>

#include <string>

namespace tidvale::fs {
namespace {

// The current folder is C:\cur, D:'s is D:\dcur; the current drive is C:.
std::optional<std::wstring> currentFolders(std::wstring_view root) {
  if (root.empty()) return L"C:\\cur";
  if (root == L"\\") return L"C:\\";
  if (root == L"D:" || root == L"d:") return L"D:\\dcur";
  return std::nullopt;
}

std::string narrow(std::wstring_view text) {
  return std::string(text.begin(), text.end());
}

TEST(ExtendedPathTest, ResolvesOnlyDotComponentsAndKeepsEveryNameAsWritten) {
  const struct {
    const wchar_t* path;
    const wchar_t* expected;  // null: names nothing
  } cases[] = {
      {L"C:\\long\\path", L"\\\\?\\C:\\long\\path"},
      {L"C:/a/b/", L"\\\\?\\C:\\a\\b"},
      {L"C:\\a\\.\\b\\..\\c", L"\\\\?\\C:\\a\\c"},
      {L"C:\\..\\..\\a", L"\\\\?\\C:\\a"},
      {L"C:\\", L"\\\\?\\C:\\"},
      {L"C:\\a\\..", L"\\\\?\\C:\\"},
      {L"C:\\abc.\\x.", L"\\\\?\\C:\\abc.\\x."},
      {L"C:\\sp \\dots..\\...", L"\\\\?\\C:\\sp \\dots..\\..."},
      {L"\\\\server\\share\\dir", L"\\\\?\\UNC\\server\\share\\dir"},
      {L"//server/share", L"\\\\?\\UNC\\server\\share\\"},
      {L"\\\\?\\C:\\kept\\..\\as is.", L"\\\\?\\C:\\kept\\..\\as is."},
      {L"\\\\?\\UNC\\server\\share", L"\\\\?\\UNC\\server\\share"},
      {L"\\\\.\\pipe\\name", L"\\\\.\\pipe\\name"},
      {L"rel\\x.", L"\\\\?\\C:\\cur\\rel\\x."},
      {L".", L"\\\\?\\C:\\cur"},
      {L"..\\up", L"\\\\?\\C:\\up"},
      {L"\\rooted ", L"\\\\?\\C:\\rooted "},
      {L"D:drive.", L"\\\\?\\D:\\dcur\\drive."},
      {L"E:x", nullptr},
      {L"", nullptr},
  };
  for (const auto& c : cases) {
    const auto extended = extendedPath(c.path, currentFolders);
    if (!c.expected) {
      EXPECT_FALSE(extended.has_value()) << narrow(c.path);
    } else {
      EXPECT_EQ(extended.value_or(L"<none>"), c.expected) << narrow(c.path);
    }
  }
  EXPECT_FALSE(extendedPath(std::wstring(L"C:\\keep\0x", 9), currentFolders).has_value());
}

TEST(ExtendedPathTest, FullyQualifiedPathsNeedNoCurrentFolder) {
  const struct {
    const wchar_t* path;
    bool qualified;
  } cases[] = {
      {L"C:\\", true},
      {L"c:/x", true},
      {L"\\\\server\\share", true},
      {L"\\\\?\\C:\\x", true},
      {L"C:", false},
      {L"C:x", false},
      {L"\\x", false},
      {L"/x", false},
      {L"x", false},
      {L"", false},
      {L"\\\\server", false},
      {L"\\\\server\\", false},
      {L"\\\\\\share", false},
      {L"\\\\?\\", false},
  };
  for (const auto& c : cases) EXPECT_EQ(isFullyQualified(c.path), c.qualified) << narrow(c.path);
}

}  // namespace
}  // namespace tidvale::fs

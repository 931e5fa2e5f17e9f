#include "scanners/system_walks.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "fs/test_paths_win.h"
#include "scanners/size_of.h"
#include "win/text.h"

namespace tidvale {
namespace {

using ::testing::IsEmpty;
using testing::TempFolder;

constexpr int64_t kUnixEpochTicks = kFileTimeEpochToUnixEpochSeconds * kFileTimeTicksPerSecond;

class SystemWalksTest : public ::testing::Test {
 protected:
  std::map<std::wstring, int64_t> walk(const std::wstring& root) {
    std::map<std::wstring, int64_t> files;
    walkFiles(state_, root, [&](const std::wstring& path, int64_t size) {
      EXPECT_TRUE(files.emplace(path, size).second) << "reported twice: " << win::toUtf8(path);
    });
    return files;
  }

  // The one entry of the "sizeOf" reply; -1 when the reply has another shape.
  int64_t sizeReply(const std::wstring& path) {
    const EncodableMap reply = sizeOf(state_, path);
    const auto found = reply.find(EncodableValue("size"));
    if (reply.size() != 1 || found == reply.end()) return -1;
    const int64_t* size = std::get_if<int64_t>(&found->second);
    return size ? *size : -1;
  }

  ServiceState state_;
  TempFolder root_;
};

TEST_F(SystemWalksTest, MeasuresMissingEmptyFileAndNestedFolders) {
  root_.folder(L"empty");
  root_.file(L"ten.bin", 10);
  root_.file(L"two\\a\\x.bin", 10);
  root_.file(L"two\\b\\y.bin", 10);

  const struct {
    std::wstring path;
    int64_t expected;
  } cases[] = {
      {root_ / L"missing", 0},        {root_ / L"empty", 0},  {root_ / L"ten.bin", 10},
      {root_ / L"two", 20},           {root_ / L"two\\", 20}, {root_.path(), 30},
      {root_ / L"ten.bin\\below", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(measurePath(state_, c.path), c.expected) << win::toUtf8(c.path);
    EXPECT_EQ(sizeReply(c.path), c.expected);
  }
  EXPECT_EQ(sizeReply(L""), 0);
}

TEST_F(SystemWalksTest, WalkFilesSkipsHiddenSystemAndNamedFoldersAtAnyDepth) {
  root_.file(L"node_modules\\big.bin", 50);
  root_.file(L".git\\pack\\x.pack", 50);
  root_.file(L"AppData\\Local\\cache.db", 50);
  root_.file(L"deep\\er\\Node_Modules\\pkg.js", 50);
  root_.file(L"deep\\WINDOWS\\x.dll", 50);
  root_.file(L"hidden.txt", 50);
  root_.file(L"system.sys", 50);
  root_.file(L"HiddenDir\\inside.txt", 50);
  root_.file(L"SystemDir\\inside.txt", 50);
  root_.file(L"Projects\\app\\bin\\app.exe", 7);
  root_.file(L"windows-backup\\keep.txt", 9);
  root_.file(L"readonly.txt", 11);
  root_.folder(L"emptydir");
  testing::setAttributes(root_ / L"hidden.txt", FILE_ATTRIBUTE_HIDDEN);
  testing::setAttributes(root_ / L"system.sys", FILE_ATTRIBUTE_SYSTEM);
  testing::setAttributes(root_ / L"HiddenDir", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
  testing::setAttributes(root_ / L"SystemDir", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY);
  testing::setAttributes(root_ / L"readonly.txt", FILE_ATTRIBUTE_READONLY);

  const std::map<std::wstring, int64_t> expected{
      {root_ / L"Projects\\app\\bin\\app.exe", 7},
      {root_ / L"windows-backup\\keep.txt", 9},
      {root_ / L"readonly.txt", 11},
  };
  EXPECT_EQ(walk(root_.path()), expected);
  // measurePath has no filters: every regular file counts.
  EXPECT_EQ(measurePath(state_, root_.path()), 50 * 9 + 7 + 9 + 11);
}

TEST_F(SystemWalksTest, RootNamedWindowsIsWalked) {
  root_.file(L"Windows\\notepad.exe", 3);
  root_.file(L"Windows\\System32\\windows\\nested.dll", 3);
  EXPECT_EQ(walk(root_ / L"Windows"),
            (std::map<std::wstring, int64_t>{{root_ / L"Windows\\notepad.exe", 3}}));
}

TEST_F(SystemWalksTest, LongPathsAreWalkedAndReportedAsGiven) {
  std::wstring relative;
  for (int i = 0; i < 7; ++i) relative += L"segment-" + std::wstring(40, L'a' + i) + L"\\";
  root_.file(relative + L"deep.bin", 21);
  root_.file(relative + L"more\\deeper.bin", 4);
  const std::wstring deep = root_ / (relative + L"deep.bin");
  ASSERT_GT(deep.size(), 300u);
  constexpr int64_t kSeconds = 1'600'000'000;
  testing::setLastWriteTime(deep, kUnixEpochTicks + kSeconds * kFileTimeTicksPerSecond);

  EXPECT_EQ(measurePath(state_, root_.path()), 25);
  EXPECT_EQ(measurePath(state_, deep), 21);
  EXPECT_EQ(fileTimeToUnixSeconds(deep), kSeconds);
  EXPECT_EQ(walk(root_.path()), (std::map<std::wstring, int64_t>{
                                    {deep, 21}, {root_ / (relative + L"more\\deeper.bin"), 4}}));
}

// NTFS allows names ending in a dot or a space; Win32 name handling would read them as other
// paths ("abc." as "abc"). Every walk and measurement acts on exactly the entry listed or named.
TEST_F(SystemWalksTest, NamesEndingInADotOrASpaceAreTheirOwnEntries) {
  root_.file(L"abc.\\f1", 1000);
  root_.file(L"abc\\f2", 7);
  root_.file(L"sp \\f3", 50);
  root_.file(L"x.", 3);
  root_.file(L"dots..\\ends. \\f4", 11);

  EXPECT_EQ(measurePath(state_, root_.path()), 1071);
  const struct {
    const wchar_t* relative;
    int64_t size;
  } cases[] = {
      {L"abc.", 1000},         {L"abc", 7},         {L"sp ", 50},        {L"x.", 3},
      {L"dots..\\ends. ", 11}, {L"abc.\\f1", 1000}, {L"sp \\.\\f3", 50}, {L"abc\\..\\abc.", 1000}};
  for (const auto& c : cases) {
    EXPECT_EQ(sizeReply(root_ / c.relative), c.size) << win::toUtf8(c.relative);
  }
  EXPECT_EQ(walk(root_.path()),
            (std::map<std::wstring, int64_t>{{root_ / L"abc.\\f1", 1000},
                                             {root_ / L"abc\\f2", 7},
                                             {root_ / L"sp \\f3", 50},
                                             {root_ / L"x.", 3},
                                             {root_ / L"dots..\\ends. \\f4", 11}}));
}

// Text holding U+0000 names nothing: cut at the NUL it would be another path ("C:\keep").
TEST_F(SystemWalksTest, APathHoldingNulNamesNothing) {
  root_.file(L"keep\\f", 5);
  const std::wstring cut = root_ / L"keep" + std::wstring(1, L'\0') + L"zzz";
  EXPECT_EQ(sizeReply(cut), 0);
  EXPECT_THAT(walk(cut), IsEmpty());
}

TEST_F(SystemWalksTest, LastWriteTimesInUnixSeconds) {
  root_.file(L"dated.txt", 1);
  root_.folder(L"dated-folder");
  constexpr int64_t kSeconds = 1'700'000'000;
  const int64_t ticks = kUnixEpochTicks + kSeconds * kFileTimeTicksPerSecond + 9'999'999;
  testing::setLastWriteTime(root_ / L"dated.txt", ticks);
  testing::setLastWriteTime(root_ / L"dated-folder", ticks);

  EXPECT_EQ(fileTimeToUnixSeconds(root_ / L"dated.txt"), kSeconds);
  EXPECT_EQ(fileTimeToUnixSeconds(root_ / L"dated-folder"), kSeconds);
  EXPECT_EQ(fileTimeToUnixSeconds(root_ / L"missing.txt"), 0);
}

}  // namespace
}  // namespace tidvale

#include "scanners/path_walks.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>

#include "fs/fake_file_system.h"
#include "fs/walker_parallel.h"
#include "fs/walker_test_support.h"

namespace tidvale {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr uint32_t kCloudTag = 0x9000001A;  // a cloud-files placeholder
constexpr int64_t kUnixEpochTicks = kFileTimeEpochToUnixEpochSeconds * kFileTimeTicksPerSecond;

class PathWalksTest : public ::testing::Test {
 protected:
  PathWalksTest() {
    // Data that links point at: counting or reporting any of it is a fault.
    fs_.addFile(L"C:\\target\\payload.bin", 1'000'000);
  }

  // Through listings that show a "|" of a name as "\\", as another system can write it.
  int64_t measure(const std::wstring& path) { return measurePath(foreign_, path, cancel_); }

  std::map<std::wstring, int64_t> walk(const std::wstring& root) {
    std::map<std::wstring, int64_t> files;
    walkFiles(foreign_, root, cancel_, [&](const std::wstring& path, int64_t size) {
      EXPECT_TRUE(files.emplace(path, size).second) << "reported twice";
    });
    return files;
  }

  fs::FakeFileSystem fs_;
  fs::testing::ForeignNames foreign_{fs_};
  std::atomic<bool> cancel_{false};
};

TEST_F(PathWalksTest, MeasuresFilesFoldersAndLinks) {
  fs_.addFolder(L"C:\\empty");
  fs_.addFile(L"C:\\ten.txt", 10);
  fs_.addFile(L"C:\\two\\a\\x.txt", 10);
  fs_.addFile(L"C:\\two\\b\\y.txt", 10);
  fs_.addJunction(L"C:\\junction", L"C:\\target");
  fs_.addSymlink(L"C:\\dirlink", L"C:\\target", /*folderLink=*/true);
  fs_.addSymlink(L"C:\\filelink", L"C:\\target\\payload.bin", /*folderLink=*/false);
  fs_.addFile(L"C:\\mixed\\own.txt", 4);
  fs_.addJunction(L"C:\\mixed\\junction", L"C:\\target");
  fs_.addSymlink(L"C:\\mixed\\dirlink", L"C:\\target", /*folderLink=*/true);
  fs_.addSymlink(L"C:\\mixed\\filelink", L"C:\\target\\payload.bin", /*folderLink=*/false);
  fs_.addReparsePoint(L"C:\\placeholder", kCloudTag, /*folder=*/false, 6);
  fs_.addReparsePoint(L"C:\\cloud", kCloudTag, /*folder=*/true);
  fs_.addFile(L"C:\\cloud\\synced.txt", 8);
  fs_.addReparsePoint(L"C:\\cloud\\placeholder", kCloudTag, /*folder=*/false, 5);
  // Listed as "a\\b" and "x\\y": the file counts once, the folder is never entered, and the real
  // a\\b and x\\y\\z.bin count once each.
  fs_.addFile(L"C:\\foreign\\a|b", 7);
  fs_.addFile(L"C:\\foreign\\a\\b", 100);
  fs_.addFile(L"C:\\foreign\\x|y\\hidden-by-its-name.bin", 50);
  fs_.addFile(L"C:\\foreign\\x\\y\\z.bin", 1000);

  const struct {
    const wchar_t* path;
    int64_t expected;
  } cases[] = {
      {L"C:\\missing", 0},     {L"C:\\empty", 0},   {L"C:\\ten.txt", 10},   {L"C:\\two", 20},
      {L"C:\\junction", 0},    {L"C:\\dirlink", 0}, {L"C:\\filelink", 0},   {L"C:\\mixed", 4},
      {L"C:\\placeholder", 6}, {L"C:\\cloud", 13},  {L"C:\\foreign", 1107}, {L"", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(measure(c.path), c.expected) << c.path;
  }
  for (const std::wstring& opened : fs_.openedFolders()) {
    EXPECT_EQ(opened.find(L"C:\\target"), std::wstring::npos) << "a link was entered: " << opened;
    EXPECT_EQ(opened.find(L"link"), std::wstring::npos) << "a link was entered: " << opened;
    EXPECT_EQ(opened.find(L"junction"), std::wstring::npos) << "a link was entered: " << opened;
  }
}

TEST_F(PathWalksTest, MeasureSkipsDeniedFolderAndSurvivesBrokenListing) {
  fs_.addFile(L"C:\\m\\denied\\secret.bin", 100);
  fs_.denyAccess(L"C:\\m\\denied");
  fs_.addFile(L"C:\\m\\broken\\first.bin", 1);
  fs_.addFile(L"C:\\m\\broken\\second.bin", 2);
  fs_.failListingAfter(L"C:\\m\\broken", 1);
  fs_.addFile(L"C:\\m\\later.bin", 30);

  EXPECT_EQ(measure(L"C:\\m"), 31);
  EXPECT_EQ(measure(L"C:\\m\\denied"), 0);
}

TEST_F(PathWalksTest, CancelledMeasureReturnsThePartialSum) {
  fs_.addFile(L"C:\\m\\a", 1);
  fs_.addFile(L"C:\\m\\b", 2);
  fs_.addFile(L"C:\\m\\c", 4);
  fs_.setListingHook([this](const std::wstring&, const fs::DirEntry& entry) {
    if (entry.name == L"c") cancel_ = true;
  });

  for (const size_t threads : {1, 4}) {
    SCOPED_TRACE(::testing::Message() << threads << " threads");
    const fs::ScopedWalkThreadCount walkThreads(threads);
    cancel_ = false;
    // One thread visits each entry as it is listed; more list a chunk ahead, and the cancel seen
    // while listing stops the walk before the entries listed with it.
    EXPECT_EQ(measure(L"C:\\m"), threads == 1 ? 3 : 0);
    EXPECT_EQ(measure(L"C:\\m"), 0) << "a set flag stops the walk at its first entry";
  }
}

TEST_F(PathWalksTest, WalkFilesLeavesOutFilteredEntries) {
  const std::wstring root = L"C:\\Users\\me";
  fs_.addFile(root + L"\\node_modules\\big.bin", 50);
  fs_.addFile(root + L"\\.git\\pack\\x.pack", 50);
  fs_.addFile(root + L"\\hidden.txt", 50, 0, fs::kAttributeHidden);
  fs_.addFile(root + L"\\system.sys", 50, 0, fs::kAttributeSystem);
  fs_.addFile(root + L"\\HiddenDir\\inside.txt", 50);
  fs_.addFolder(root + L"\\HiddenDir", fs::kAttributeHidden);
  fs_.addFile(root + L"\\AppData\\Local\\cache.db", 50);
  fs_.addFile(root + L"\\deep\\er\\Node_Modules\\pkg.js", 50);
  fs_.addFile(root + L"\\deep\\WINDOWS\\x.dll", 50);
  fs_.addReparsePoint(root + L"\\placeholder.docx", kCloudTag, /*folder=*/false, 50);
  fs_.addJunction(root + L"\\junction", L"C:\\target");
  fs_.addSymlink(root + L"\\dirlink", L"C:\\target", /*folderLink=*/true);
  fs_.addSymlink(root + L"\\filelink", L"C:\\target\\payload.bin", /*folderLink=*/false);
  fs_.addFile(root + L"\\Projects\\app\\bin\\app.exe", 7);
  fs_.addFile(root + L"\\windows-backup\\keep.txt", 9);
  fs_.addFile(root + L"\\plain.txt", 11);
  fs_.addFolder(root + L"\\emptydir");
  // Listed as "odd\\name.txt" and "dir\\x": no path names them, so neither is reported.
  fs_.addFile(root + L"\\odd|name.txt", 13);
  fs_.addFile(root + L"\\dir|x\\inside.txt", 50);
  fs_.addFile(root + L"\\dir\\x\\real.txt", 5);

  const std::map<std::wstring, int64_t> expected{
      {root + L"\\dir\\x\\real.txt", 5},
      {root + L"\\Projects\\app\\bin\\app.exe", 7},
      {root + L"\\windows-backup\\keep.txt", 9},
      {root + L"\\plain.txt", 11},
  };
  EXPECT_EQ(walk(root), expected);
}

TEST_F(PathWalksTest, WalkFilesSkipsEveryListedFolderNameWhateverItsCase) {
  const std::wstring root = L"C:\\Users\\me";
  const wchar_t* const skippedAsUsersWriteThem[] = {
      L".Git",    L"Node_Modules", L"$Recycle.Bin", L"System Volume Information",
      L"WINDOWS", L"AppData",      L".CACHE",       L".Gradle",
      L".Cargo",  L".RustUp",      L"ProgramData",  L"$WINDOWS.~BT",
  };
  for (const wchar_t* name : skippedAsUsersWriteThem) {
    fs_.addFile(root + L"\\deep\\" + name + L"\\inside.bin", 50);
  }
  fs_.addFile(root + L"\\deep\\kept.txt", 1);

  EXPECT_EQ(walk(root), (std::map<std::wstring, int64_t>{{root + L"\\deep\\kept.txt", 1}}));
  EXPECT_EQ(skippedFolderNames().size(), std::size(skippedAsUsersWriteThem))
      << "a name was added without a case here";
}

TEST_F(PathWalksTest, WalkFilesNeverFiltersItsRoot) {
  fs_.addFile(L"C:\\Windows\\notepad.exe", 3);
  fs_.addFile(L"C:\\Windows\\System32\\windows\\nested.dll", 3);
  fs_.addFile(L"C:\\hidden\\inside.txt", 4);
  fs_.addFolder(L"C:\\hidden", fs::kAttributeHidden | fs::kAttributeSystem);

  EXPECT_EQ(walk(L"C:\\Windows"),
            (std::map<std::wstring, int64_t>{{L"C:\\Windows\\notepad.exe", 3}}));
  EXPECT_EQ(walk(L"C:\\hidden"), (std::map<std::wstring, int64_t>{{L"C:\\hidden\\inside.txt", 4}}));
  EXPECT_THAT(walk(L"C:\\Windows\\notepad.exe"), IsEmpty()) << "a file is no root to walk";
  // Reported paths keep the root's text as given, separators and case included.
  EXPECT_EQ(walk(L"c:/windows/"),
            (std::map<std::wstring, int64_t>{{L"c:/windows/notepad.exe", 3}}));
}

TEST_F(PathWalksTest, WalkFilesStopsWhenTheVisitorCancels) {
  for (const wchar_t* name : {L"1", L"2", L"3", L"4"})
    fs_.addFile(std::wstring(L"C:\\w\\") + name, 1);
  std::vector<std::wstring> seen;
  walkFiles(fs_, L"C:\\w", cancel_, [&](const std::wstring& path, int64_t) {
    seen.push_back(path);
    if (seen.size() == 2) cancel_ = true;
  });
  EXPECT_THAT(seen, ElementsAre(L"C:\\w\\1", L"C:\\w\\2"));
}

TEST_F(PathWalksTest, FileTimesInUnixSeconds) {
  constexpr int64_t k2020 = 1'577'836'800;
  fs_.addFile(L"C:\\t\\new.txt", 1, kUnixEpochTicks + k2020 * kFileTimeTicksPerSecond + 9'999'999);
  fs_.addSymlink(L"C:\\t\\link", L"C:\\t\\new.txt", /*folderLink=*/false);

  EXPECT_EQ(fileTimeToUnixSeconds(fs_, L"C:\\t\\new.txt"), k2020);
  EXPECT_EQ(fileTimeToUnixSeconds(fs_, L"C:\\t\\link"), k2020) << "links are followed";
  EXPECT_EQ(fileTimeToUnixSeconds(fs_, L"C:\\t\\missing.txt"), 0);

  const struct {
    int64_t ticks;
    int64_t seconds;
  } conversions[] = {
      {kUnixEpochTicks, 0},
      {kUnixEpochTicks + 9'999'999, 0},
      {kUnixEpochTicks - 1, -1},  // truncation toward zero happens before the epoch shift
      {0, -kFileTimeEpochToUnixEpochSeconds},
  };
  for (const auto& c : conversions) EXPECT_EQ(unixSecondsFromFileTime(c.ticks), c.seconds);
}

}  // namespace
}  // namespace tidvale

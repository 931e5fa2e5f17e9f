#include "scanners/walker.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "scanners/fake_file_system.h"

namespace tidvale::fs {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

// Walks `root`, entering every folder the walker allows, and records what it saw.
struct Recording {
  WalkOutcome outcome = WalkOutcome::NotStarted;
  std::vector<std::wstring> paths;
  std::map<std::wstring, EntryKind> kinds;
};

Recording walkAll(FakeFileSystem& fileSystem, const std::wstring& root,
                  const std::atomic<bool>& cancel) {
  Recording recording;
  recording.outcome = walkTree(fileSystem, root, cancel, [&](const WalkEntry& entry) {
    recording.paths.push_back(entry.path);
    recording.kinds[entry.path] = entry.kind;
    return true;  // ask to enter everything, links included
  });
  return recording;
}

class WalkerTest : public ::testing::Test {
 protected:
  FakeFileSystem fs_;
  std::atomic<bool> cancel_{false};
};

TEST_F(WalkerTest, ClassifiesEntriesAndNeverEntersLinks) {
  fs_.addFile(L"C:\\data\\big.bin", 1000);
  fs_.addFile(L"C:\\r\\sub\\a.bin", 5);
  fs_.addJunction(L"C:\\r\\junction", L"C:\\data");
  fs_.addSymlink(L"C:\\r\\dirlink", L"C:\\data", /*folderLink=*/true);
  fs_.addSymlink(L"C:\\r\\filelink", L"C:\\data\\big.bin", /*folderLink=*/false);
  fs_.addReparsePoint(L"C:\\r\\cloud", 0x9000001A, /*folder=*/true);
  fs_.addFile(L"C:\\r\\cloud\\inside.txt", 3);
  fs_.addReparsePoint(L"C:\\r\\placeholder", 0x9000001A, /*folder=*/false, 7);

  const Recording walk = walkAll(fs_, L"C:\\r", cancel_);

  EXPECT_EQ(walk.outcome, WalkOutcome::Finished);
  const std::map<std::wstring, EntryKind> expected{
      {L"C:\\r\\sub", EntryKind::Folder},
      {L"C:\\r\\sub\\a.bin", EntryKind::File},
      {L"C:\\r\\junction", EntryKind::Junction},
      {L"C:\\r\\dirlink", EntryKind::Symlink},
      {L"C:\\r\\filelink", EntryKind::Symlink},
      {L"C:\\r\\cloud", EntryKind::Folder},
      {L"C:\\r\\cloud\\inside.txt", EntryKind::File},
      {L"C:\\r\\placeholder", EntryKind::File},
  };
  EXPECT_EQ(walk.kinds, expected);
  EXPECT_EQ(walk.paths.size(), expected.size());
  EXPECT_THAT(fs_.openedFolders(), UnorderedElementsAre(L"C:\\r", L"C:\\r\\sub", L"C:\\r\\cloud"));
}

TEST_F(WalkerTest, SkipsFolderItMayNotOpenAndGoesOn) {
  fs_.addFile(L"C:\\r\\denied\\secret.txt", 1);
  fs_.addFile(L"C:\\r\\open\\visible.txt", 1);
  fs_.denyAccess(L"C:\\r\\denied");

  const Recording walk = walkAll(fs_, L"C:\\r", cancel_);

  EXPECT_EQ(walk.outcome, WalkOutcome::Finished);
  EXPECT_THAT(walk.paths,
              ElementsAre(L"C:\\r\\denied", L"C:\\r\\open", L"C:\\r\\open\\visible.txt"));
}

TEST_F(WalkerTest, ErrorWhileAdvancingEndsOnlyThatFolder) {
  fs_.addFile(L"C:\\r\\broken\\one", 1);
  fs_.addFile(L"C:\\r\\broken\\two", 1);
  fs_.addFile(L"C:\\r\\broken\\three", 1);
  fs_.addFile(L"C:\\r\\after\\fine", 1);
  fs_.failListingAfter(L"C:\\r\\broken", 1);

  const Recording walk = walkAll(fs_, L"C:\\r", cancel_);

  EXPECT_EQ(walk.outcome, WalkOutcome::Finished);
  EXPECT_THAT(walk.paths, ElementsAre(L"C:\\r\\broken", L"C:\\r\\broken\\one", L"C:\\r\\after",
                                      L"C:\\r\\after\\fine"));
}

TEST_F(WalkerTest, CancelStopsBeforeTheNextEntry) {
  fs_.addFile(L"C:\\r\\a\\1", 1);
  fs_.addFile(L"C:\\r\\a\\2", 1);
  fs_.addFile(L"C:\\r\\b", 1);
  fs_.setListingHook([this](const std::wstring&, const DirEntry& entry) {
    if (entry.name == L"2") cancel_ = true;
  });

  const Recording walk = walkAll(fs_, L"C:\\r", cancel_);

  EXPECT_EQ(walk.outcome, WalkOutcome::Cancelled);
  EXPECT_THAT(walk.paths, ElementsAre(L"C:\\r\\a", L"C:\\r\\a\\1"));
}

TEST_F(WalkerTest, RootThatCannotBeOpenedVisitsNothing) {
  fs_.addFile(L"C:\\file.txt", 4);
  fs_.addFile(L"C:\\locked\\x", 4);
  fs_.denyAccess(L"C:\\locked");

  for (const std::wstring root : {L"C:\\missing", L"C:\\file.txt", L"C:\\locked", L""}) {
    const Recording walk = walkAll(fs_, root, cancel_);
    EXPECT_EQ(walk.outcome, WalkOutcome::NotStarted) << root;
    EXPECT_THAT(walk.paths, IsEmpty());
  }
}

TEST_F(WalkerTest, ReportsPathsFromTheRootAsGiven) {
  fs_.addFile(L"C:\\Root\\Sub\\f.txt", 1);

  EXPECT_THAT(walkAll(fs_, L"c:/root/", cancel_).paths,
              ElementsAre(L"c:/root/Sub", L"c:/root/Sub\\f.txt"));
  EXPECT_THAT(walkAll(fs_, L"C:\\Root", cancel_).paths,
              ElementsAre(L"C:\\Root\\Sub", L"C:\\Root\\Sub\\f.txt"));
}

TEST_F(WalkerTest, DeclinedFolderIsNotEntered) {
  fs_.addFile(L"C:\\r\\skip\\hidden.txt", 1);
  fs_.addFile(L"C:\\r\\keep\\shown.txt", 1);

  std::vector<std::wstring> seen;
  walkTree(fs_, L"C:\\r", cancel_, [&](const WalkEntry& entry) {
    seen.push_back(entry.path);
    return entry.entry.name != L"skip";
  });

  EXPECT_THAT(seen, Not(::testing::Contains(L"C:\\r\\skip\\hidden.txt")));
  EXPECT_THAT(seen, ::testing::Contains(L"C:\\r\\keep\\shown.txt"));
}

}  // namespace
}  // namespace tidvale::fs

#include "fs/fake_file_system.h"

#include <gtest/gtest.h>

namespace tidvale::fs {
namespace {

// The fake must answer as Windows does, or rules proven on it would not hold on real disks.
class FakeFileSystemTest : public ::testing::Test {
 protected:
  FakeFileSystemTest() {
    fs_.addFile(L"C:\\target\\data.bin", 100);
    fs_.addJunction(L"C:\\r\\junction", L"C:\\target");
    fs_.addSymlink(L"C:\\r\\dirlink", L"C:\\target", /*folderLink=*/true);
    fs_.addSymlink(L"C:\\r\\filelink", L"C:\\target\\data.bin", /*folderLink=*/false);
    fs_.addSymlink(L"C:\\r\\dangling", L"C:\\nowhere", /*folderLink=*/false);
    fs_.addFile(L"C:\\r\\full\\inside.txt", 1);
    fs_.addFolder(L"C:\\r\\empty");
    fs_.addFile(L"C:\\r\\plain.txt", 1);
    fs_.addFile(L"C:\\r\\readonly.txt", 1, 0, kAttributeReadOnly);
    fs_.addFile(L"C:\\r\\open.txt", 1);
    fs_.setInUse(L"C:\\r\\open.txt", true);
  }

  FakeFileSystem fs_;
};

TEST_F(FakeFileSystemTest, LinksResolveOnTheWayAndAtTheEndOnlyWhenFollowed) {
  const struct {
    const wchar_t* path;
    bool follow;
    StatusOutcome outcome;
    EntryKind kind;
    int64_t size;
  } cases[] = {
      {L"C:\\r\\filelink", false, StatusOutcome::Found, EntryKind::Symlink, 0},
      {L"C:\\r\\filelink", true, StatusOutcome::Found, EntryKind::File, 100},
      {L"C:\\r\\junction", false, StatusOutcome::Found, EntryKind::Junction, 0},
      {L"C:\\r\\junction", true, StatusOutcome::Found, EntryKind::Folder, 0},
      {L"C:\\r\\junction\\data.bin", false, StatusOutcome::Found, EntryKind::File, 100},
      {L"c:/R/DirLink/DATA.bin", false, StatusOutcome::Found, EntryKind::File, 100},
      {L"C:\\r\\dangling", false, StatusOutcome::Found, EntryKind::Symlink, 0},
      {L"C:\\r\\dangling", true, StatusOutcome::NotFound, EntryKind::File, 0},
      {L"C:\\r\\plain.txt\\below", false, StatusOutcome::NotFound, EntryKind::File, 0},
  };
  for (const auto& c : cases) {
    const FileStatus status = fs_.status(c.path, c.follow);
    EXPECT_EQ(status.outcome, c.outcome) << c.path << " follow " << c.follow;
    if (!status.exists()) continue;
    EXPECT_EQ(classifyEntry(status.attributes, status.reparseTag), c.kind) << c.path;
    EXPECT_EQ(status.size, c.size) << c.path;
  }
}

TEST_F(FakeFileSystemTest, RemovalFailsForTheReasonsWindowsGives) {
  const struct {
    const wchar_t* path;
    bool folder;
    FsError expected;
  } cases[] = {
      {L"C:\\r\\full", true, FsError::NotEmpty},
      {L"C:\\r\\plain.txt", true, FsError::Other},
      {L"C:\\r\\empty", false, FsError::AccessDenied},
      {L"C:\\r\\readonly.txt", false, FsError::AccessDenied},
      {L"C:\\r\\open.txt", false, FsError::InUse},
      {L"C:\\r\\missing.txt", false, FsError::NotFound},
      {L"C:\\r\\missing", true, FsError::NotFound},
  };
  for (const auto& c : cases) {
    const FsError error = c.folder ? fs_.removeFolder(c.path) : fs_.removeFile(c.path);
    EXPECT_EQ(error, c.expected) << c.path;
    EXPECT_TRUE(fs_.exists(c.path) == (c.expected != FsError::NotFound)) << c.path;
  }

  EXPECT_EQ(fs_.setAttributes(L"C:\\r\\readonly.txt", kAttributeNormal), FsError::None);
  EXPECT_EQ(fs_.removeFile(L"C:\\r\\readonly.txt"), FsError::None);
  fs_.setInUse(L"C:\\r\\open.txt", false);
  EXPECT_EQ(fs_.removeFile(L"C:\\r\\open.txt"), FsError::None);
  EXPECT_EQ(fs_.removeFolder(L"C:\\r\\empty"), FsError::None);
  EXPECT_FALSE(fs_.exists(L"C:\\r\\empty"));
}

TEST_F(FakeFileSystemTest, LinksAreRemovedAsLinksAndTheirTargetsStay) {
  EXPECT_EQ(fs_.removeFolder(L"C:\\r\\junction"), FsError::None);
  EXPECT_EQ(fs_.removeFolder(L"C:\\r\\dirlink"), FsError::None);
  EXPECT_EQ(fs_.removeFile(L"C:\\r\\filelink"), FsError::None);
  EXPECT_EQ(fs_.removeFile(L"C:\\r\\dangling"), FsError::None);
  for (const wchar_t* link : {L"C:\\r\\junction", L"C:\\r\\dirlink", L"C:\\r\\filelink"}) {
    EXPECT_FALSE(fs_.exists(link)) << link;
  }
  EXPECT_EQ(fs_.status(L"C:\\target\\data.bin", false).size, 100);
}

TEST_F(FakeFileSystemTest, ListingThroughALinkShowsTheTarget) {
  std::unique_ptr<FolderListing> listing = fs_.openFolder(L"C:\\r\\junction");
  ASSERT_NE(listing, nullptr);
  DirEntry entry;
  ASSERT_EQ(listing->next(entry), ListStep::Entry);
  EXPECT_EQ(entry.name, L"data.bin");
  EXPECT_EQ(entry.size, 100);
  EXPECT_EQ(listing->next(entry), ListStep::End);
}

}  // namespace
}  // namespace tidvale::fs

#include "fs/win32_file_system.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "fs/test_paths_win.h"
#include "win/text.h"
#include "win/unique_resource.h"

namespace tidvale::fs {
namespace {

using ::testing::IsNull;
using ::testing::NotNull;
using testing::TempFolder;

// Every entry of the folder by name; fails the test when the listing does not end cleanly.
std::map<std::wstring, DirEntry> listAll(const std::wstring& folder) {
  std::map<std::wstring, DirEntry> entries;
  std::unique_ptr<FolderListing> listing = systemFileSystem().openFolder(folder);
  if (!listing) {
    ADD_FAILURE() << "cannot open the folder";
    return entries;
  }
  DirEntry entry;
  ListStep step;
  while ((step = listing->next(entry)) == ListStep::Entry) entries[entry.name] = entry;
  EXPECT_EQ(step, ListStep::End);
  EXPECT_EQ(listing->next(entry), ListStep::End) << "a finished listing stays finished";
  return entries;
}

// A folder chain that takes the path well past 260 units.
std::wstring deepRelative() {
  std::wstring relative;
  for (int i = 0; i < 8; ++i)
    relative += L"level-" + std::wstring(40, static_cast<wchar_t>(L'a' + i)) + L"\\";
  return relative;
}

class Win32FileSystemTest : public ::testing::Test {
 protected:
  FileSystem& fs_ = systemFileSystem();
  TempFolder root_;
};

TEST_F(Win32FileSystemTest, ListingCarriesAttributesSizesAndTimes) {
  root_.file(L"ten.bin", 10);
  root_.file(L"hidden.txt", 3);
  root_.folder(L"sub");
  testing::setAttributes(root_ / L"hidden.txt", FILE_ATTRIBUTE_HIDDEN);
  constexpr int64_t kTicks = 132'000'000'000'000'000;
  testing::setLastWriteTime(root_ / L"ten.bin", kTicks);

  const auto entries = listAll(root_.path());

  ASSERT_EQ(entries.size(), 3u) << "no dot entries";
  EXPECT_EQ(entries.at(L"ten.bin").size, 10);
  EXPECT_EQ(entries.at(L"ten.bin").lastWriteTime, kTicks);
  EXPECT_EQ(classifyEntry(entries.at(L"ten.bin").attributes, entries.at(L"ten.bin").reparseTag),
            EntryKind::File);
  EXPECT_NE(entries.at(L"hidden.txt").attributes & kAttributeHidden, 0u);
  EXPECT_EQ(classifyEntry(entries.at(L"sub").attributes, entries.at(L"sub").reparseTag),
            EntryKind::Folder);
  EXPECT_EQ(entries.at(L"sub").size, 0);

  EXPECT_TRUE(listAll(root_ / L"sub").empty());
}

TEST_F(Win32FileSystemTest, OnlyExistingFoldersOpen) {
  root_.file(L"file.txt", 1);
  for (const std::wstring& path :
       {root_ / L"file.txt", root_ / L"missing", root_ / L"missing\\deeper", std::wstring()}) {
    EXPECT_THAT(fs_.openFolder(path), IsNull()) << win::toUtf8(path);
  }
  EXPECT_THAT(fs_.openFolder(root_.path() + L"\\"), NotNull());
}

// The seam itself refuses text holding U+0000 before any Win32 call, whatever its caller checked.
TEST_F(Win32FileSystemTest, APathHoldingNulNamesNothing) {
  root_.file(L"keep\\f", 5);
  const std::wstring cut = root_ / L"keep" + std::wstring(1, L'\0') + L"x";
  EXPECT_EQ(fs_.status(cut, false).outcome, StatusOutcome::NotFound);
  EXPECT_EQ(fs_.status(cut, true).outcome, StatusOutcome::NotFound);
  EXPECT_THAT(fs_.openFolder(cut), IsNull());
  EXPECT_EQ(fs_.holdFolder(cut).outcome, HoldOutcome::Missing);
  EXPECT_EQ(fs_.removeEntry(cut), FsError::NotFound);
  EXPECT_EQ(fs_.removeFolder(cut), FsError::NotFound);
  EXPECT_EQ(fs_.setAttributes(cut, FILE_ATTRIBUTE_READONLY), FsError::NotFound);
  EXPECT_TRUE(testing::pathExists(root_ / L"keep\\f"));
  EXPECT_EQ(testing::attributesOf(root_ / L"keep") & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST_F(Win32FileSystemTest, StatusOfFilesFoldersAndMissingPaths) {
  root_.file(L"five.bin", 5);
  root_.folder(L"dir");

  for (const bool follow : {false, true}) {
    const FileStatus file = fs_.status(root_ / L"five.bin", follow);
    EXPECT_TRUE(file.exists());
    EXPECT_FALSE(file.isFolder());
    EXPECT_EQ(file.size, 5);
    EXPECT_NE(file.lastWriteTime, 0);
    EXPECT_TRUE(fs_.status(root_ / L"dir", follow).isFolder());
    EXPECT_EQ(fs_.status(root_ / L"missing", follow).outcome, StatusOutcome::NotFound);
    EXPECT_EQ(fs_.status(root_ / L"missing\\below", follow).outcome, StatusOutcome::NotFound);
  }
}

TEST_F(Win32FileSystemTest, RemovalReportsWhyItFailed) {
  root_.file(L"full\\inside.txt", 1);
  root_.folder(L"empty");
  root_.file(L"plain.txt", 1);
  root_.file(L"readonly.txt", 1);
  root_.file(L"open.txt", 1);
  testing::setAttributes(root_ / L"readonly.txt", FILE_ATTRIBUTE_READONLY);

  EXPECT_EQ(fs_.removeFolder(root_ / L"full"), FsError::NotEmpty);
  EXPECT_EQ(fs_.removeFolder(root_ / L"plain.txt"), FsError::Other);
  EXPECT_EQ(fs_.removeFile(root_ / L"empty"), FsError::AccessDenied);
  EXPECT_EQ(fs_.removeFolder(root_ / L"empty"), FsError::None);
  EXPECT_EQ(fs_.removeFile(root_ / L"plain.txt"), FsError::None);
  EXPECT_EQ(fs_.removeFile(root_ / L"missing.txt"), FsError::NotFound);
  EXPECT_EQ(fs_.removeFile(root_ / L"readonly.txt"), FsError::AccessDenied);
  EXPECT_FALSE(testing::pathExists(root_ / L"empty"));
  EXPECT_FALSE(testing::pathExists(root_ / L"plain.txt"));

  {
    win::UniqueFileHandle held(::CreateFileW((root_ / L"open.txt").c_str(), GENERIC_READ,
                                             FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.valid());
    EXPECT_EQ(fs_.removeFile(root_ / L"open.txt"), FsError::InUse);
  }
  EXPECT_EQ(fs_.removeFile(root_ / L"open.txt"), FsError::None);

  EXPECT_EQ(fs_.setAttributes(root_ / L"readonly.txt", kAttributeNormal), FsError::None);
  EXPECT_EQ(fs_.status(root_ / L"readonly.txt", false).attributes & kAttributeReadOnly, 0u);
  EXPECT_EQ(fs_.removeFile(root_ / L"readonly.txt"), FsError::None);
}

TEST_F(Win32FileSystemTest, PathsLongerThan260UnitsWork) {
  const std::wstring folder = root_ / deepRelative();
  const std::wstring file = folder + L"deep.bin";
  root_.file(deepRelative() + L"deep.bin", 12);
  ASSERT_GT(file.size(), 300u);

  const FileStatus status = fs_.status(file, false);
  EXPECT_TRUE(status.exists());
  EXPECT_EQ(status.size, 12);
  EXPECT_EQ(fs_.status(file, true).size, 12);

  // Forward slashes and ".." are normalised before the extended form, which takes text literally.
  std::wstring slashed = root_ / (L"dotdot\\..\\" + deepRelative() + L"deep.bin");
  std::replace(slashed.begin(), slashed.end(), L'\\', L'/');
  EXPECT_EQ(fs_.status(slashed, false).size, 12);

  const auto entries = listAll(folder);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries.begin()->second.size, 12);

  EXPECT_EQ(fs_.setAttributes(file, kAttributeReadOnly), FsError::None);
  EXPECT_EQ(fs_.setAttributes(file, kAttributeNormal), FsError::None);
  EXPECT_EQ(fs_.removeFile(file), FsError::None);
  EXPECT_EQ(fs_.removeFolder(folder), FsError::None);
  EXPECT_FALSE(testing::pathExists(folder));
}

// The listed entries of a held folder, by name.
std::map<std::wstring, DirEntry> listHeld(HeldFolder& folder) {
  std::map<std::wstring, DirEntry> entries;
  std::unique_ptr<FolderListing> listing = folder.list();
  DirEntry entry;
  while (listing && listing->next(entry) == ListStep::Entry) entries[entry.name] = entry;
  return entries;
}

// Another process swaps an entry after it was listed: it moves the entry away and moves a canary
// (a folder for a folder, a file for a file) into its name. Every open through the held folder
// then finds another file id than the listing showed, and does nothing through that handle.
TEST_F(Win32FileSystemTest, EveryOpenOfAnEntrySwappedSinceItsListingIsRefused) {
  root_.file(L"held\\dir\\inner.txt", 1);
  root_.file(L"held\\file.txt", 2);
  root_.file(L"canary-dir\\keep.txt", 3);
  root_.file(L"canary-file.txt", 4);
  Hold held = fs_.holdFolder(root_ / L"held");
  ASSERT_EQ(held.outcome, HoldOutcome::Held);
  const std::map<std::wstring, DirEntry> listed = listHeld(*held.folder);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_NE(listed.at(L"dir").fileId, listed.at(L"file.txt").fileId);
  for (const auto& [name, canary] : {std::pair<std::wstring, std::wstring>{L"dir", L"canary-dir"},
                                     {L"file.txt", L"canary-file.txt"}}) {
    ASSERT_TRUE(
        ::MoveFileW((root_ / (L"held\\" + name)).c_str(), (root_ / (name + L".away")).c_str()));
    ASSERT_TRUE(::MoveFileW((root_ / canary).c_str(), (root_ / (L"held\\" + name)).c_str()));
  }
  for (const auto& [name, entry] : listed) {
    SCOPED_TRACE(win::toUtf8(name));
    for (const auto open :
         {&HeldFolder::holdChild, &HeldFolder::passChild, &HeldFolder::pinChild}) {
      const Hold hold = (held.folder.get()->*open)(entry);
      EXPECT_EQ(hold.outcome, HoldOutcome::Failed);
      EXPECT_EQ(hold.error, FsError::Changed);
    }
    EXPECT_EQ(held.folder->removeChild(entry), FsError::Changed);
    // The entry it now is opens as itself.
    DirEntry current;
    ASSERT_EQ(held.folder->lookup(name, current), StatusOutcome::Found);
    EXPECT_NE(current.fileId, entry.fileId);
  }
  EXPECT_TRUE(testing::pathExists(root_ / L"held\\dir\\keep.txt"));
  EXPECT_TRUE(testing::pathExists(root_ / L"held\\file.txt"));
  EXPECT_EQ(testing::attributesOf(root_ / L"held\\file.txt") & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

// A pinned folder stays where it is: no other program can rename or remove it until it is let go.
// A passed one can be renamed meanwhile.
TEST_F(Win32FileSystemTest, APinnedFolderCannotBeRenamedUntilItIsLetGo) {
  root_.file(L"way\\pinned\\f.txt", 1);
  root_.file(L"way\\passed\\f.txt", 1);
  Hold way = fs_.holdFolder(root_ / L"way");
  ASSERT_EQ(way.outcome, HoldOutcome::Held);
  const std::map<std::wstring, DirEntry> listed = listHeld(*way.folder);
  Hold pinned = way.folder->pinChild(listed.at(L"pinned"));
  Hold passed = way.folder->passChild(listed.at(L"passed"));
  ASSERT_EQ(pinned.outcome, HoldOutcome::Held);
  ASSERT_EQ(passed.outcome, HoldOutcome::Held);
  EXPECT_FALSE(::MoveFileW((root_ / L"way\\pinned").c_str(), (root_ / L"moved").c_str()));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_TRUE(::MoveFileW((root_ / L"way\\passed").c_str(), (root_ / L"moved-passed").c_str()));
  // Its entries can still go.
  EXPECT_EQ(fs_.removeFile(root_ / L"way\\pinned\\f.txt"), FsError::None);
  pinned.folder.reset();
  EXPECT_TRUE(::MoveFileW((root_ / L"way\\pinned").c_str(), (root_ / L"moved").c_str()));
}

}  // namespace
}  // namespace tidvale::fs

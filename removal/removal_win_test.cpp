// "deleteItems" on real files under Wine: attributes, names Win32 would rewrite, long paths, files
// held open, refused paths, and the Recycle Bin purge on a drive of the tests' own (T:).
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/dispatcher.h"
#include "fs/test_paths_win.h"
#include "fs/win32_file_system.h"
#include "removal/delete_items.h"
#include "removal/recycle_index.h"
#include "removal/recycle_purge.h"
#include "removal/win32_recycle_bin.h"
#include "win/known_folder.h"
#include "win/text.h"
#include "win/unique_resource.h"
#include "win/user_sid.h"

namespace tidvale {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::TempFolder;

struct Reply {
  int64_t freed = -1;
  std::vector<std::string> failed;
};

class RemovalWinTest : public ::testing::Test {
 protected:
  void TearDown() override { dispatcher().drain(); }

  Reply remove(const std::vector<std::wstring>& paths) {
    std::vector<std::string> entries;
    for (const std::wstring& path : paths) entries.push_back(win::toUtf8(path));
    const EncodableMap map = deleteItems(state_, entries, false);
    Reply reply;
    reply.freed = std::get<int64_t>(map.at(EncodableValue("freed")));
    for (const auto& item : std::get<EncodableList>(map.at(EncodableValue("failed")))) {
      reply.failed.push_back(std::get<std::string>(item));
    }
    return reply;
  }

  bool exists(const std::wstring& relative) { return testing::pathExists(root_ / relative); }

  ServiceState state_;
  TempFolder root_;
};

TEST_F(RemovalWinTest, ReadOnlyHiddenAndSystemEntriesAreRemoved) {
  root_.file(L"tree\\ro.txt", 10);
  root_.file(L"tree\\sub\\hidden.txt", 20);
  root_.file(L"tree\\sub\\system.txt", 30);
  root_.file(L"tree\\rodir\\inner.txt", 40);
  root_.file(L"alone.txt", 5);
  testing::setAttributes(root_ / L"tree\\ro.txt", FILE_ATTRIBUTE_READONLY);
  testing::setAttributes(root_ / L"tree\\sub\\hidden.txt", FILE_ATTRIBUTE_HIDDEN);
  testing::setAttributes(root_ / L"tree\\sub\\system.txt", FILE_ATTRIBUTE_SYSTEM);
  testing::setAttributes(root_ / L"tree\\rodir\\inner.txt", FILE_ATTRIBUTE_READONLY);
  testing::setAttributes(root_ / L"tree\\rodir", FILE_ATTRIBUTE_READONLY);
  testing::setAttributes(root_ / L"alone.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);

  // An entry first, then the folders that hold it: the folders kept for the entry are let go.
  const Reply reply = remove({root_ / L"tree\\sub\\hidden.txt", root_ / L"tree\\sub",
                              root_ / L"tree", root_ / L"alone.txt"});

  EXPECT_THAT(reply.failed, IsEmpty());
  EXPECT_EQ(reply.freed, 105);
  EXPECT_FALSE(exists(L"tree"));
  EXPECT_FALSE(exists(L"alone.txt"));
}

// Names that Win32 name handling would rewrite are removed exactly, and their look-alikes stay.
TEST_F(RemovalWinTest, RemovesExactlyTheNamedEntry) {
  root_.file(L"abc.\\f1", 1000);
  root_.file(L"abc\\f2", 7);
  root_.file(L"sp \\f3", 50);
  root_.file(L"sp\\f4", 4);
  root_.file(L"x.", 3);
  root_.file(L"x", 2);

  const Reply reply = remove({root_ / L"abc.", root_ / L"sp ", root_ / L"x."});

  EXPECT_THAT(reply.failed, IsEmpty());
  EXPECT_EQ(reply.freed, 1053);
  for (const wchar_t* gone : {L"abc.", L"sp ", L"x."}) EXPECT_FALSE(exists(gone));
  for (const wchar_t* kept : {L"abc\\f2", L"sp\\f4", L"x"}) EXPECT_TRUE(exists(kept));
}

TEST_F(RemovalWinTest, LongPathsAndNamesOutsideTheBasicPlane) {
  std::wstring relative = L"deep";
  for (int i = 0; i < 7; ++i) relative += L"\\\xD83D\xDE00-" + std::wstring(40, L'a' + i);
  root_.file(relative + L"\\\xD83E\xDD84.bin", 11);
  root_.file(L"deep\\near.bin", 4);
  ASSERT_GT((root_ / relative).size(), 300u);

  const Reply reply = remove({root_ / L"deep"});

  EXPECT_THAT(reply.failed, IsEmpty());
  EXPECT_EQ(reply.freed, 15);
  EXPECT_FALSE(exists(L"deep"));
}

// What another process holds open without sharing deletion stays, with the folders above it;
// everything else goes and is credited. A held folder still loses its entries.
TEST_F(RemovalWinTest, WhatAnotherHoldsStaysAndTheRestGoes) {
  const struct {
    const wchar_t* held;
    DWORD flags;
    int64_t freed;
    const wchar_t* gone;
  } cases[] = {
      {L"tree\\sub\\locked.bin", 0, 120, L"tree\\sub\\b.bin"},
      {L"tree\\sub", FILE_FLAG_BACKUP_SEMANTICS, 150, L"tree\\sub\\locked.bin"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(win::toUtf8(c.held));
    root_.file(L"tree\\a.bin", 100);
    root_.file(L"tree\\sub\\locked.bin", 30);
    root_.file(L"tree\\sub\\b.bin", 20);
    win::UniqueFileHandle holder(::CreateFileW((root_ / c.held).c_str(), GENERIC_READ,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_EXISTING, c.flags, nullptr));
    ASSERT_TRUE(holder.valid());

    const Reply reply = remove({root_ / L"tree"});
    holder.reset();

    EXPECT_THAT(reply.failed, ElementsAre(win::toUtf8(root_ / L"tree")));
    EXPECT_EQ(reply.freed, c.freed);
    EXPECT_TRUE(exists(c.held));
    EXPECT_FALSE(exists(L"tree\\a.bin"));
    EXPECT_FALSE(exists(c.gone));
    testing::removeTree(root_ / L"tree");
  }
}

// Relative paths would resolve against the current folder, and protected folders are never
// removed whole: each is refused, and the canary beside or inside it stays.
TEST_F(RemovalWinTest, RefusedPathsTouchNothing) {
  root_.file(L"canary\\file.txt", 9);
  testing::CreatedPaths created;
  const std::wstring programData = win::knownFolderPath(FOLDERID_ProgramData);
  const std::wstring canary =
      programData + L"\\tidvale-canary-" + std::to_wstring(::GetCurrentProcessId());
  created.file(canary + L"\\file.txt", 3);
  wchar_t saved[MAX_PATH];
  ASSERT_GT(::GetCurrentDirectoryW(MAX_PATH, saved), 0u);
  ASSERT_TRUE(::SetCurrentDirectoryW(root_.path().c_str()));

  const std::vector<std::wstring> refused = {L"canary",
                                             L".\\canary",
                                             root_.path().substr(0, 2) + L"canary",
                                             L"",
                                             programData,
                                             programData + L"\\.",
                                             L"\\\\?\\" + programData,
                                             canary + L"\\..\\..\\" + programData.substr(3)};
  const Reply reply = remove(refused);
  ::SetCurrentDirectoryW(saved);

  EXPECT_EQ(reply.failed.size(), refused.size());
  EXPECT_EQ(reply.freed, 0);
  EXPECT_TRUE(exists(L"canary\\file.txt"));
  EXPECT_TRUE(testing::pathExists(canary + L"\\file.txt"));
}

// Index files as the shell writes them (version 2), in users' folders of T:'s Recycle Bin: the
// process's own user and another one.
class RecyclePurgeWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(::GetFileAttributesW(L"T:\\"), INVALID_FILE_ATTRIBUTES)
        << "the test drive T: is missing from the prefix";
    ASSERT_FALSE(win::currentUserSid().empty());
  }

  void addIndex(const std::wstring& folder, const std::wstring& id, const std::wstring& original,
                int64_t time) {
    std::vector<uint8_t> bytes(28 + 2 * (original.size() + 1), 0);
    bytes[0] = 2;
    for (int i = 0; i < 8; ++i) bytes[16 + i] = static_cast<uint8_t>(time >> (8 * i));
    const uint32_t length = static_cast<uint32_t>(original.size() + 1);
    for (int i = 0; i < 4; ++i) bytes[24 + i] = static_cast<uint8_t>(length >> (8 * i));
    for (size_t i = 0; i < original.size(); ++i) {
      bytes[28 + 2 * i] = static_cast<uint8_t>(original[i]);
      bytes[29 + 2 * i] = static_cast<uint8_t>(original[i] >> 8);
    }
    const std::wstring path = folder + L"\\$I" + id + unique_;
    created_.file(path, 0);
    win::UniqueFileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr));
    DWORD written = 0;
    ASSERT_TRUE(
        ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    created_.file(folder + L"\\$R" + id + unique_ + L"\\inner.bin", 8);
  }

  // Purges `path`, recycled as the item `item` (a name in the user's own folder).
  bool purge(const std::wstring& path, const std::wstring& item) {
    CheckedRemoval removal(fs::systemFileSystem(), {});
    return purgeFromRecycleBin(removal, readRecycleIndexFile, win::currentUserSid(), path,
                               listedIdOf(own_ + L"\\" + item + unique_));
  }

  // The id that folder listings show for the file at `path`.
  static uint64_t listedIdOf(const std::wstring& path) {
    win::UniqueFileHandle file(::CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.get(), &info)) return 0;
    return (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  }

  bool has(const std::wstring& folder, const std::wstring& name) {
    return testing::pathExists(folder + L"\\" + name + unique_);
  }

  const std::wstring unique_ =
      std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount64());
  const std::wstring own_ = L"T:\\$Recycle.Bin\\" + win::currentUserSid();
  const std::wstring other_ = L"T:\\$Recycle.Bin\\S-1-5-21-7-7-7-" + unique_;
  testing::CreatedPaths created_;
};

TEST_F(RecyclePurgeWinTest, PurgesTheNewestCopyOfTheUsersOwnOnly) {
  const std::wstring original = L"T:\\docs-" + unique_ + L"\\report";
  addIndex(own_, L"OLD", original, 100);
  addIndex(own_, L"NEW", original, 200);
  // Another user's forged index naming the same path, newer: never looked at.
  addIndex(other_, L"FORGED", original, 900);

  // Not what was recycled: another item's id.
  EXPECT_FALSE(purge(L"t:/DOCS-" + unique_ + L"/report/", L"$ROLD"));
  EXPECT_TRUE(has(own_, L"$INEW"));
  EXPECT_TRUE(purge(L"t:/DOCS-" + unique_ + L"/report/", L"$RNEW"));

  EXPECT_FALSE(has(own_, L"$RNEW"));
  EXPECT_FALSE(has(own_, L"$INEW"));
  EXPECT_TRUE(has(own_, L"$ROLD"));
  EXPECT_TRUE(has(own_, L"$IOLD"));
  EXPECT_TRUE(has(other_, L"$RFORGED"));
  EXPECT_TRUE(has(other_, L"$IFORGED"));
  const auto entry = parseRecycleIndex(readRecycleIndexFile(own_ + L"\\$IOLD" + unique_));
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->originalPath, original);
  EXPECT_EQ(entry->deletionTime, 100);
}

}  // namespace
}  // namespace tidvale

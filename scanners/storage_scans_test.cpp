#include "scanners/storage_scans.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "fs/test_paths_win.h"
#include "scanners/storage_test_support.h"
#include "win/text.h"
#include "win/unique_resource.h"

namespace tidvale {
namespace {

using testing::boolAt;
using testing::int64At;
using testing::listAt;
using testing::mapOf;
using testing::stringAt;
using testing::TempFolder;

// The scans on real files under the prefix where the end-to-end tests cannot reach: attributes
// set through Win32, and files held open without sharing.
class StorageScansTest : public ::testing::Test {
 protected:
  std::string utf8(const std::wstring& relative) { return win::toUtf8(root_ / relative); }

  ServiceState state_;
  TempFolder root_;
};

TEST_F(StorageScansTest, DiskTreeCountsHiddenAndSystemFiles) {
  root_.file(L"a.txt", 10);
  root_.file(L"sub\\b.txt", 20);
  root_.file(L"sub\\hidden.txt", 5);
  testing::setAttributes(root_ / L"sub\\hidden.txt", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

  const std::string rootText = win::toUtf8(root_.path()) + "\\";
  const EncodableMap reply = analyzeDisk(state_, rootText, 1);
  EXPECT_EQ(stringAt(reply, "path"), rootText);
  EXPECT_EQ(int64At(reply, "size"), 35);
  EXPECT_EQ(int64At(reply, "scanned"), 3);
  EXPECT_FALSE(boolAt(reply, "cancelled"));
  const EncodableList& children = listAt(reply, "children");
  ASSERT_EQ(children.size(), 2u);
  EXPECT_EQ(stringAt(mapOf(children[0]), "path"), utf8(L"sub"));
  EXPECT_EQ(int64At(mapOf(children[0]), "files"), 2);
  EXPECT_EQ(stringAt(mapOf(children[1]), "path"), utf8(L"a.txt"));
}

TEST_F(StorageScansTest, DuplicatesOfRealFilesWithHardLinksAndALockedCopy) {
  constexpr size_t kSize = 2 * 1048576;
  root_.file(L"a\\copy.bin", kSize);
  root_.file(L"b\\copy.bin", kSize);
  root_.file(L"c\\locked.bin", kSize);
  ASSERT_TRUE(::CreateHardLinkW((root_ / L"c\\link.bin").c_str(), (root_ / L"a\\copy.bin").c_str(),
                                nullptr));
  win::UniqueFileHandle holder(::CreateFileW((root_ / L"c\\locked.bin").c_str(), GENERIC_READ, 0,
                                             nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder.valid());

  const EncodableMap alone = scanDuplicates(state_, win::toUtf8(root_.path()), 1, 1);
  EXPECT_EQ(int64At(alone, "scanned"), 4);
  EXPECT_EQ(int64At(alone, "wasted"), static_cast<int64_t>(kSize));
  ASSERT_EQ(listAt(alone, "groups").size(), 1u);
  const EncodableMap& group = mapOf(listAt(alone, "groups")[0]);
  EXPECT_EQ(stringAt(group, "hash").size(), 64u);
  std::vector<std::string> files;
  for (const EncodableValue& file : listAt(group, "files")) {
    files.push_back(stringAt(mapOf(file), "path"));
  }
  // The link is the same file as a\copy.bin: whichever of the two names the walk meets first
  // stands for it, and the file is listed once.
  ASSERT_EQ(files.size(), 2u);
  EXPECT_LT(files[0], files[1]) << "files in path order";
  EXPECT_THAT(files, ::testing::Contains(utf8(L"b\\copy.bin")));
  EXPECT_THAT(files,
              ::testing::Contains(::testing::AnyOf(utf8(L"a\\copy.bin"), utf8(L"c\\link.bin"))));
  EXPECT_EQ(scanDuplicates(state_, win::toUtf8(root_.path()), 1, 3), alone);
  holder.reset();
  ::DeleteFileW((root_ / L"c\\link.bin").c_str());
}

}  // namespace
}  // namespace tidvale

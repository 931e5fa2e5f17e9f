// A volume's root is a plain folder whatever its attributes say; every other path is what its
// attributes make it.
#include "fs/walker.h"

#include <gtest/gtest.h>

namespace tidvale::fs {
namespace {

constexpr uint32_t kWineMountPoint = kAttributeDirectory | kAttributeReparsePoint;  // 0x410, tag 0

TEST(WalkerRootTest, TellsAVolumesRootFromEveryOtherPath) {
  struct Case {
    const wchar_t* path;
    bool root;
  };
  const Case cases[] = {
      {L"N:\\", true},   {L"n:/", true},
      {L"N:\\\\", true}, {L"\\\\?\\N:\\", true},
      {L"N:", false},    {L"N:\\x", false},
      {L"N:x", false},   {L"\\\\?\\N:", false},
      {L"1:\\", false},  {L"\\\\server\\share\\", false},
      {L"", false},      {L"\\", false},
  };
  for (const Case& c : cases) EXPECT_EQ(isVolumeRoot(c.path), c.root) << c.path;
}

TEST(WalkerRootTest, ReadsTheDriveLetterOfDrivePathsOnly) {
  EXPECT_EQ(driveLetterOf(L"q:\\a\\b"), L'q');
  EXPECT_EQ(driveLetterOf(L"\\\\?\\Z:/"), L'Z');
  EXPECT_FALSE(driveLetterOf(L"Q:a"));
  EXPECT_FALSE(driveLetterOf(L"\\\\?\\UNC\\server\\share\\"));
  EXPECT_FALSE(driveLetterOf(L"\\\\.\\Q:\\"));
}

TEST(WalkerRootTest, ClassifiesARootShownAsAMountPointAsAFolder) {
  EXPECT_EQ(classifyPath(L"N:\\", kWineMountPoint, 0), EntryKind::Folder);
  EXPECT_EQ(classifyPath(L"\\\\?\\N:\\", kWineMountPoint, kReparseTagMountPoint),
            EntryKind::Folder);
  // Below the root the same attributes still make a link, never entered.
  EXPECT_EQ(classifyPath(L"N:\\mnt", kWineMountPoint, 0), EntryKind::OtherLink);
  EXPECT_EQ(classifyPath(L"N:\\j", kWineMountPoint, kReparseTagMountPoint), EntryKind::Junction);
  // A root that is not a folder at all stays what it is.
  EXPECT_EQ(classifyPath(L"N:\\", kAttributeReparsePoint, 0), EntryKind::OtherLink);
  EXPECT_EQ(classifyPath(L"N:\\", kAttributeArchive, 0), EntryKind::File);
}

}  // namespace
}  // namespace tidvale::fs

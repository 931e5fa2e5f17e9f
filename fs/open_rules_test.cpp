#include "fs/open_rules.h"

#include <gtest/gtest.h>

namespace tidvale::fs {
namespace {

// The rules hold on every build, also where Wine cannot act them out (it follows a Linux link
// whatever the open asks, and it always keeps another attribute beside read-only).
TEST(OpenRules, EntriesOpenAsThemselvesAndReadOnlyIsClearedToSomethingSettable) {
  EXPECT_EQ(createOptionsFor(OpenPurpose::Entry),
            kOpenReparsePointItself | kOpenForBackupIntent | kOpenSynchronousIo);
  EXPECT_EQ(createOptionsFor(OpenPurpose::FolderListing),
            kOpenDirectoryFile | kOpenForBackupIntent | kOpenSynchronousIo);
  EXPECT_EQ(shareModeFor(false), kShareRead | kShareWrite | kShareDelete);
  EXPECT_EQ(shareModeFor(true), kShareRead | kShareWrite);

  const struct {
    uint32_t attributes;
    uint32_t deletable;
  } rows[] = {
      {kAttributeReadOnly, kAttributeNormal},
      {kAttributeReadOnly | kAttributeHidden, kAttributeHidden},
      {kAttributeReadOnly | kAttributeDirectory, kAttributeDirectory},
      {kAttributeArchive, kAttributeArchive},
      {0, 0},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(attributesForDeletion(row.attributes), row.deletable) << row.attributes;
  }
}

TEST(OpenRules, AHandleIsTheListedEntryOnlyWithItsIdAndItsReparsePoint) {
  const DirEntry plain{L"f", kAttributeArchive, 0, 1, 0, 42};
  const DirEntry link{L"l", kAttributeDirectory | kAttributeReparsePoint, 0, 0, 0, 43};
  EXPECT_TRUE(isListedEntry(plain, 42, kAttributeArchive));
  EXPECT_FALSE(isListedEntry(plain, 41, kAttributeArchive));
  EXPECT_TRUE(isListedEntry(link, 43, kAttributeDirectory | kAttributeReparsePoint));
  EXPECT_FALSE(isListedEntry(link, 43, kAttributeDirectory));  // the open followed the link
  EXPECT_FALSE(isListedEntry(link, 44, kAttributeDirectory | kAttributeReparsePoint));
}

}  // namespace
}  // namespace tidvale::fs

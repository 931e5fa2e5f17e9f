// The index of a volume built byte by byte: which names a folder lists, with what figures, and
// which records a damaged or crafted table cannot smuggle in.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "fs/mft/damaged_test_volumes.h"
#include "fs/mft/mft_file_system.h"
#include "fs/mft/mft_index.h"
#include "fs/mft/test_volume.h"

namespace tidvale::fs::mft {
namespace {

using test::RecordBytes;
using test::reference;
using test::TestVolume;

constexpr uint32_t kHidden = 0x2;
constexpr uint32_t kArchive = 0x20;

std::shared_ptr<const MftIndex> indexOf(const TestVolume& volume) {
  const std::vector<uint8_t> image = volume.image();
  MemoryByteSource source(image);
  MftIndexResult result = buildMftIndex(source);
  EXPECT_TRUE(result.index) << result.failure;
  return result.index;
}

struct Listed {
  std::wstring name;
  uint32_t attributes;
  uint32_t tag;
  int64_t size;
};

std::vector<Listed> listing(MftFileSystem& fileSystem, const std::wstring& folder) {
  std::vector<Listed> entries;
  auto list = fileSystem.openFolder(folder);
  if (!list) return entries;
  DirEntry entry;
  while (list->next(entry) == ListStep::Entry) {
    entries.push_back({entry.name, entry.attributes, entry.reparseTag, entry.size});
  }
  return entries;
}

std::vector<std::wstring> names(const std::vector<Listed>& entries) {
  std::vector<std::wstring> out;
  for (const Listed& entry : entries) out.push_back(entry.name);
  return out;
}

TEST(MftIndexTest, ListsUserFilesInCollationOrderAndNeverTheMetadata) {
  TestVolume volume;
  volume.file(20, volume.root(), u"b.txt", 10);
  volume.file(21, volume.root(), u"A.txt", 300000);
  volume.file(22, volume.root(), u"a_", 0);
  const uint64_t docs = volume.folder(23, volume.root(), u"Docs", kHidden);
  volume.file(24, docs, u"\u00e9t\u00e9", 7);
  // Below $Extend, as the volume's own files are.
  volume.file(25, reference(11, 11), u"$Quota", 0);
  MftFileSystem fileSystem(indexOf(volume), L"N:");

  const std::vector<Listed> root = listing(fileSystem, L"N:\\");
  // Upper-cased "A.TXT" < "A_" (0x2E < 0x5F) < "B.TXT" < "DOCS".
  EXPECT_EQ(names(root), (std::vector<std::wstring>{L"A.txt", L"a_", L"b.txt", L"Docs"}));
  EXPECT_EQ(root[0].size, 300000);
  EXPECT_EQ(root[0].attributes, kArchive);
  EXPECT_EQ(root[3].attributes, kHidden | kAttributeDirectory);
  EXPECT_EQ(root[3].size, 0);
  EXPECT_EQ(names(listing(fileSystem, L"N:\\Docs")), std::vector<std::wstring>{L"\u00e9t\u00e9"});
  EXPECT_FALSE(fileSystem.openFolder(L"N:\\$Extend"));
  EXPECT_FALSE(fileSystem.status(L"N:\\$MFT", false).exists());
}

TEST(MftIndexTest, ListsEveryHardLinkOnceAndNoNameOfTheDosNamespaceAlone) {
  TestVolume volume;
  const uint64_t one = volume.folder(20, volume.root(), u"one");
  const uint64_t two = volume.folder(21, volume.root(), u"two");
  volume.put(22, RecordBytes(1, 0x01)
                     .standardInformation(kArchive, 1)
                     .fileName(one, u"Long name.txt", kNamespaceWin32)
                     .fileName(one, u"LONGNA~1.TXT", kNamespaceDos)
                     .fileName(two, u"link", kNamespacePosix)
                     .fileName(two, u"both", kNamespaceWin32AndDos)
                     .residentData(42));
  MftFileSystem fileSystem(indexOf(volume), L"N:");
  EXPECT_EQ(names(listing(fileSystem, L"N:\\one")), std::vector<std::wstring>{L"Long name.txt"});
  const std::vector<Listed> second = listing(fileSystem, L"N:\\two");
  EXPECT_EQ(names(second), (std::vector<std::wstring>{L"both", L"link"}));
  EXPECT_EQ(second[1].size, 42);
}

TEST(MftIndexTest, IgnoresRecordsNotInUseAndTornRecords) {
  TestVolume volume;
  const uint64_t kept = volume.folder(20, volume.root(), u"kept");
  volume.folder(21, volume.root(), u"reused", 0x10, 2);
  // A record no longer in use, in a folder that is gone too.
  volume.put(
      22, RecordBytes(1, 0x00).standardInformation(kArchive, 0).fileName(reference(21, 1), u"x"));
  volume.put(23, RecordBytes(1, 0x00).standardInformation(kArchive, 0).fileName(kept, u"gone"));
  std::vector<uint8_t> torn = RecordBytes(1, 0x01).fileName(kept, u"torn").finish();
  torn[1022] ^= 0xFF;
  volume.putRaw(24, torn);
  volume.file(25, kept, u"here", 3);
  MftFileSystem fileSystem(indexOf(volume), L"N:");
  EXPECT_EQ(names(listing(fileSystem, L"N:\\")), (std::vector<std::wstring>{L"kept", L"reused"}));
  EXPECT_EQ(names(listing(fileSystem, L"N:\\kept")), std::vector<std::wstring>{L"here"});
  EXPECT_TRUE(listing(fileSystem, L"N:\\reused").empty());
}

TEST(MftIndexTest, TakesLengthsFromTheUnnamedStreamOnlyAndTagsFromReparsePoints) {
  TestVolume volume;
  const uint64_t root = volume.root();
  volume.put(20, RecordBytes(1, 0x01)
                     .standardInformation(kArchive, 1)
                     .fileName(root, u"streams")
                     .residentData(11)
                     .residentData(500, u"Zone.Identifier")
                     .residentData(3, u"$I30"));  // a stream, not a folder's index
  volume.put(21, RecordBytes(1, 0x03)
                     .standardInformation(kAttributeReparsePoint, 1)
                     .fileName(root, u"junction")
                     .reparsePoint(kReparseTagMountPoint)
                     .folderIndex());
  // A cloud placeholder: the tag is set, the standard information did not say so.
  volume.put(22, RecordBytes(1, 0x01)
                     .standardInformation(kArchive, 1)
                     .fileName(root, u"placeholder")
                     .reparsePoint(0x9000001A)
                     .residentData(9));
  volume.file(23, root, u"sparse", uint64_t{5} << 30);
  // A view index, as $Extend's files carry: not the index of a folder.
  volume.put(24, RecordBytes(1, 0x05).fileName(reference(11, 11), u"$ObjId").folderIndex(u"$O"));
  MftFileSystem fileSystem(indexOf(volume), L"N:");
  std::map<std::wstring, Listed> byName;
  for (const Listed& entry : listing(fileSystem, L"N:\\")) byName.emplace(entry.name, entry);
  EXPECT_EQ(byName.at(L"streams").size, 11);
  EXPECT_EQ(byName.at(L"streams").tag, 0u);
  EXPECT_EQ(byName.at(L"junction").tag, kReparseTagMountPoint);
  EXPECT_EQ(byName.at(L"junction").attributes, kAttributeReparsePoint | kAttributeDirectory);
  EXPECT_EQ(byName.at(L"placeholder").attributes, kArchive | kAttributeReparsePoint);
  EXPECT_EQ(byName.at(L"placeholder").tag, 0x9000001Au);
  EXPECT_EQ(byName.at(L"sparse").size, int64_t{5} << 30);
  EXPECT_FALSE(fileSystem.openFolder(L"N:\\junction")) << "a link is never followed";
}

TEST(MftIndexTest, MergesExtensionRecordsOnlyIntoTheBaseTheyStillBelongTo) {
  TestVolume volume;
  const uint64_t root = volume.root();
  // The base holds the standard information and an attribute list; an extension holds the
  // name and the data.
  volume.put(20, RecordBytes(3, 0x01)
                     .standardInformation(kArchive, 1)
                     .attributeList({{0x10, 0, reference(20, 3)},
                                     {0x30, 0, reference(40, 1)},
                                     {0x80, 0, reference(40, 1)}}));
  std::vector<uint8_t> runs = test::encodeRun(100, 1, 0);
  runs.push_back(0);
  volume.put(40, RecordBytes(1, 0x01, reference(20, 3))
                     .fileName(root, u"spilled")
                     .nonResidentData(0, 99, 100000, runs));
  // A folder whose index of names lies in an extension record.
  volume.put(22, RecordBytes(2, 0x03).standardInformation(0, 1).fileName(root, u"folder"));
  volume.put(42, RecordBytes(1, 0x01, reference(22, 2)).folderIndex());
  volume.file(23, reference(22, 2), u"inside", 4);
  // A stale extension of record 21, which has since been reused (sequence 4, not 3).
  volume.file(21, root, u"reused", 8, kArchive, 4);
  volume.put(41,
             RecordBytes(1, 0x01, reference(21, 3)).fileName(root, u"stale name").residentData(99));
  MftFileSystem fileSystem(indexOf(volume), L"N:");
  const std::vector<Listed> root_ = listing(fileSystem, L"N:\\");
  ASSERT_EQ(names(root_), (std::vector<std::wstring>{L"folder", L"reused", L"spilled"}));
  EXPECT_EQ(root_[1].size, 8);
  EXPECT_EQ(root_[2].size, 100000);
  EXPECT_EQ(names(listing(fileSystem, L"N:\\folder")), std::vector<std::wstring>{L"inside"});
}

TEST(MftIndexTest, RefusesEveryDamagedVariantWithoutAllocatingForWhatItClaims) {
  for (const test::DamagedVolume& damaged : test::damagedVolumes()) {
    MemoryByteSource source(damaged.image);
    const MftIndexResult result = buildMftIndex(source);
    EXPECT_FALSE(result.index) << damaged.what;
    EXPECT_STREQ(result.failure, damaged.refusal) << damaged.what;
    EXPECT_LE(result.recordsRead, damaged.image.size() / test::kTestRecordSize) << damaged.what;
  }
  // The honest volume they all start from is read.
  TestVolume volume(32);
  const uint64_t docs = volume.folder(16, volume.root(), u"Docs");
  volume.file(17, docs, u"report.txt", 5 << 20);
  EXPECT_TRUE(indexOf(volume));
}

TEST(MftIndexTest, FailsWhenReadingThrowsInsteadOfThrowingOn) {
  class ThrowingSource final : public ByteSource {
   public:
    bool read(uint64_t, std::span<uint8_t>) override { throw std::bad_alloc(); }
  };
  ThrowingSource source;
  const MftIndexResult result = buildMftIndex(source);
  EXPECT_FALSE(result.index);
  EXPECT_STREQ(result.failure, "the index does not fit in memory");
}

TEST(MftIndexTest, ReadsATableSplitInRunsThatAnExtensionRecordDescribes) {
  for (const bool listInClusters : {false, true}) {
    TestVolume volume(64, /*splitTable=*/true, listInClusters);
    volume.file(20, volume.root(), u"first half", 1);
    volume.file(50, volume.root(), u"second half", 2);
    MftFileSystem fileSystem(indexOf(volume), L"N:");
    EXPECT_EQ(names(listing(fileSystem, L"N:\\")),
              (std::vector<std::wstring>{L"first half", L"second half"}))
        << listInClusters;
    EXPECT_EQ(fileSystem.index().recordCount(), 64u);
  }
}

TEST(MftIndexTest, FailsWholeOnVolumesItCannotTrust) {
  struct Case {
    const char* what;
    size_t at;
    std::vector<uint8_t> bytes;
  };
  // Offsets into the image: the boot sector at 0, record 0 at 4096, record 10 at 4096 + 10240.
  const Case cases[] = {
      {"no NTFS boot sector", 3, {'X'}},
      {"record 0 torn", 4096 + 510, {0x00, 0x00}},
      {"the upper-case table torn", 4096 + 10240 + 510, {0x00, 0x00}},
      {"table longer than its runs", 4096 + 0x130, {0x00, 0x00, 0x10}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> image = TestVolume(32).image();
    std::copy(c.bytes.begin(), c.bytes.end(), image.begin() + static_cast<ptrdiff_t>(c.at));
    MemoryByteSource source(image);
    EXPECT_FALSE(buildMftIndex(source).index) << c.what;
  }
  // A volume cut short: the table's end cannot be read.
  std::vector<uint8_t> image = TestVolume(32).image();
  image.resize(4096 + 20 * 1024);
  MemoryByteSource source(image);
  EXPECT_FALSE(buildMftIndex(source).index);
  std::atomic<bool> cancel{true};
  std::vector<uint8_t> whole = TestVolume(32).image();
  MemoryByteSource wholeSource(whole);
  EXPECT_FALSE(buildMftIndex(wholeSource, &cancel).index) << "cancelled";
}

TEST(MftFileSystemTest, ResolvesPathsAsWin32DoesAndChangesNothing) {
  TestVolume volume;
  const uint64_t docs = volume.folder(20, volume.root(), u"Docs");
  volume.file(21, docs, u"Note", 1);
  volume.file(22, docs, u"note", 2);  // differs only in case
  volume.file(23, docs, u"Other", 3);
  MftFileSystem fileSystem(indexOf(volume), L"N:");
  struct Case {
    const wchar_t* path;
    bool found;
    int64_t size;
  };
  const Case cases[] = {
      {L"N:\\Docs\\Note", true, 1},     {L"N:\\Docs\\note", true, 2},
      {L"n:/docs//OTHER", true, 3},     {L"\\\\?\\N:\\Docs\\Other\\", true, 3},
      {L"N:\\Docs\\NOTE", true, 1},     {L"N:\\Docs\\..\\Docs\\Note", false, 0},
      {L"N:Docs\\Note", false, 0},      {L"M:\\Docs\\Note", false, 0},
      {L"N:\\Docs\\Note\\x", false, 0}, {L"N:\\Docs\\Missing", false, 0},
  };
  for (const Case& c : cases) {
    const FileStatus status = fileSystem.status(c.path, false);
    EXPECT_EQ(status.exists(), c.found) << c.path;
    if (c.found) {
      EXPECT_EQ(status.size, c.size) << c.path;
    }
  }
  EXPECT_TRUE(fileSystem.status(L"N:\\", false).isFolder());
  EXPECT_EQ(fileSystem.removeFile(L"N:\\Docs\\Note"), FsError::AccessDenied);
  EXPECT_EQ(fileSystem.removeEntry(L"N:\\Docs"), FsError::AccessDenied);
  EXPECT_EQ(fileSystem.holdFolder(L"N:\\Docs").outcome, HoldOutcome::Failed);
  EXPECT_TRUE(fileSystem.status(L"N:\\Docs\\Note", false).exists()) << "still there";
}

}  // namespace
}  // namespace tidvale::fs::mft

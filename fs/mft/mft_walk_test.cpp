// Seeded random volumes walked through the index, against the same tree in the in-memory file
// system as the oracle; and random damage to a volume, which must never crash the reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "fs/fake_file_system.h"
#include "fs/mft/mft_file_system.h"
#include "fs/mft/mft_index.h"
#include "fs/mft/test_volume.h"
#include "fs/walker.h"

namespace tidvale::fs::mft {
namespace {

using test::RecordBytes;
using test::reference;
using test::TestVolume;

using Seen = std::tuple<std::wstring, EntryKind, int64_t, uint32_t>;

std::vector<Seen> walkAll(FileSystem& fileSystem, const std::wstring& root) {
  std::vector<Seen> seen;
  std::atomic<bool> cancel{false};
  walkTree(fileSystem, root, cancel, [&](const WalkEntry& item) {
    seen.emplace_back(item.path, item.kind, item.entry.size,
                      item.entry.attributes & (kAttributeHidden | kAttributeDirectory));
    return true;
  });
  return seen;
}

std::wstring wide(const std::u16string& text) {
  return std::wstring(text.begin(), text.end());
}

// A random tree of folders, files, hard links and junctions, in both file systems.
struct RandomTree {
  struct File {
    int64_t size;
    uint32_t attributes;
    std::vector<std::pair<uint64_t, std::u16string>> names;  // parent, name
  };

  // `records`: the table's length; more than 1024 spreads it over several of the reader's chunks.
  explicit RandomTree(uint32_t seed, uint32_t records = kRecords) : random(seed), volume(records) {
    struct Folder {
      uint64_t reference;
      std::wstring path;
      std::set<std::wstring> lowerNames;
    };
    std::vector<Folder> folders{{volume.root(), L"N:", {}}};
    fake.addFolder(L"N:");
    for (uint32_t number = 16; number < records; ++number) {
      if (number > 16 && number < 24) continue;  // some records stay unused
      Folder& parent = folders[random() % folders.size()];
      const std::u16string name = freshName(parent.lowerNames);
      const std::wstring path = parent.path + L"\\" + wide(name);
      const uint32_t kind = random() % 10;
      const uint32_t hidden = random() % 5 == 0 ? kAttributeHidden : 0;
      if (kind < 3) {
        volume.folder(number, parent.reference, name, kAttributeDirectory | hidden);
        fake.addFolder(path, hidden);
        folders.push_back({reference(number, 1), path, {}});
      } else if (kind == 3 && !files.empty()) {
        // Another name of an earlier file, in this folder.
        auto linked = files.begin();
        std::advance(linked, random() % files.size());
        linked->second.names.push_back({parent.reference, name});
        fake.addFile(path, linked->second.size, 0, linked->second.attributes & kAttributeHidden);
      } else if (kind == 4) {
        volume.put(number, RecordBytes(1, 0x03)
                               .standardInformation(kAttributeReparsePoint, 0)
                               .fileName(parent.reference, name)
                               .reparsePoint(kReparseTagMountPoint)
                               .folderIndex());
        fake.addJunction(path, L"N:\\elsewhere");
      } else {
        const int64_t size = random() % 3 == 0 ? random() % 257 : random() % 5'000'000;
        files[number] = File{size, 0x20 | hidden, {{parent.reference, name}}};
        fake.addFile(path, size, 0, hidden);
      }
    }
    for (const auto& [number, file] : files) {
      RecordBytes record(1, 0x01);
      record.standardInformation(file.attributes, 0);
      for (const auto& [parent, name] : file.names) record.fileName(parent, name);
      if (file.size <= 256) {
        record.residentData(static_cast<size_t>(file.size));
      } else {
        const uint64_t clusters = (static_cast<uint64_t>(file.size) + 1023) / 1024;
        std::vector<uint8_t> runs = test::encodeRun(clusters, 1, 0);
        runs.push_back(0);
        record.nonResidentData(0, clusters - 1, static_cast<uint64_t>(file.size), runs);
      }
      volume.put(number, record);
    }
  }

  std::u16string freshName(std::set<std::wstring>& lowerNames) {
    static const char16_t alphabet[] = u"abcXYZ_. 09\u00e9\u00c9";
    for (;;) {
      std::u16string name;
      const size_t length = 1 + random() % 8;
      for (size_t i = 0; i < length; ++i) name.push_back(alphabet[random() % 14]);
      if (random() % 7 == 0) name += u"\U0001F600";  // outside the BMP: a surrogate pair
      std::wstring lower;
      for (char16_t unit : name) {
        lower.push_back(unit >= u'A' && unit <= u'Z' ? unit + 32 : unit == 0xC9 ? 0xE9 : unit);
      }
      if (name == u"." || name == u".." || !lowerNames.insert(lower).second) continue;
      return name;
    }
  }

  static constexpr uint32_t kRecords = 220;
  std::mt19937 random;
  TestVolume volume;
  FakeFileSystem fake;
  std::map<uint32_t, File> files;
};

TEST(MftWalkTest, RandomVolumesWalkLikeTheSameTreeInMemory) {
  for (uint32_t seed = 1; seed <= 14; ++seed) {
    RandomTree tree(seed, seed <= 12 ? RandomTree::kRecords : 2600);
    const std::vector<uint8_t> image = tree.volume.image();
    MemoryByteSource source(image);
    const MftIndexResult result = buildMftIndex(source);
    ASSERT_TRUE(result.index) << result.failure;
    MftFileSystem fileSystem(result.index, L"N:");

    std::vector<Seen> fromIndex = walkAll(fileSystem, L"N:\\");
    std::vector<Seen> fromOracle = walkAll(tree.fake, L"N:\\");
    std::sort(fromIndex.begin(), fromIndex.end());
    std::sort(fromOracle.begin(), fromOracle.end());
    EXPECT_GT(fromOracle.size(), 150u);
    EXPECT_EQ(fromIndex, fromOracle) << "seed " << seed;
  }
}

TEST(MftWalkTest, ListsEachFolderInTheVolumesCollationOrder) {
  RandomTree tree(99);
  const std::vector<uint8_t> image = tree.volume.image();
  MemoryByteSource source(image);
  const MftIndexResult result = buildMftIndex(source);
  ASSERT_TRUE(result.index);
  MftFileSystem fileSystem(result.index, L"N:");
  // The test volume's table upper-cases ASCII and Latin-1 letters only.
  auto key = [](const std::wstring& name) {
    std::wstring upper;
    for (wchar_t unit : name) {
      upper.push_back((unit >= L'a' && unit <= L'z') ||
                              (unit >= 0xE0 && unit <= 0xFE && unit != 0xF7)
                          ? unit - 32
                          : unit);
    }
    return upper;
  };
  size_t folders = 0;
  std::vector<std::wstring> pending{L"N:\\"};
  while (!pending.empty()) {
    const std::wstring folder = pending.back();
    pending.pop_back();
    auto list = fileSystem.openFolder(folder);
    ASSERT_TRUE(list) << std::string(folder.begin(), folder.end());
    ++folders;
    std::vector<std::wstring> order;
    DirEntry entry;
    while (list->next(entry) == ListStep::Entry) {
      order.push_back(entry.name);
      if (classifyEntry(entry.attributes, entry.reparseTag) == EntryKind::Folder) {
        pending.push_back(folder + (folder.back() == L'\\' ? L"" : L"\\") + entry.name);
      }
    }
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end(),
                               [&](const auto& a, const auto& b) { return key(a) < key(b); }));
  }
  EXPECT_GT(folders, 10u);
}

TEST(MftWalkTest, NamesNoPathCanHoldCountInTheirFolderAndAreNeverJoined) {
  TestVolume volume(200);
  const uint64_t keep = volume.folder(16, volume.root(), u"keep");
  volume.file(17, keep, u"a\\b", 7);
  const uint64_t slashed = volume.folder(18, keep, u"x/y");
  volume.file(19, slashed, u"in.txt", 11);
  const uint64_t sub = volume.folder(20, slashed, u"sub");
  volume.file(21, sub, u"deep", 13);
  volume.put(22, RecordBytes(1, 0x03)
                     .standardInformation(kAttributeReparsePoint, 0)
                     .fileName(slashed, u"junction")
                     .reparsePoint(kReparseTagMountPoint)
                     .folderIndex());
  // 130 levels of 255-unit names: the path passes 32,767 units at level 128.
  uint64_t parent = volume.root();
  for (uint32_t level = 0; level < 130; ++level) {
    parent = volume.folder(30 + level, parent, std::u16string(255, u'a' + level % 26));
  }
  volume.file(160, parent, u"bottom", 17);
  // In level 126 (its path 32,514 units long): paths of exactly 32,767 and 32,768 units.
  volume.file(161, reference(156, 1), std::u16string(252, u'x'), 19);
  volume.file(162, reference(156, 1), std::u16string(253, u'y'), 23);
  const std::vector<uint8_t> image = volume.image();
  MemoryByteSource source(image);
  const MftIndexResult result = buildMftIndex(source);
  ASSERT_TRUE(result.index) << result.failure;
  MftFileSystem fileSystem(result.index, L"N:");

  std::map<std::wstring, int64_t> bytesByPath;
  size_t longest = 0;
  for (const auto& [path, kind, size, attributes] : walkAll(fileSystem, L"N:\\")) {
    longest = std::max(longest, path.size());
    if (kind != EntryKind::File) continue;
    bytesByPath[path] += size;
    if (path.back() == L'\\') {
      EXPECT_EQ(attributes & kAttributeHidden, kAttributeHidden) << "never reported by a walk";
    }
  }
  EXPECT_LE(longest, kLongestReportablePath);
  // a\b, x/y\in.txt and x/y\sub\deep count in keep; the junction adds nothing.
  ASSERT_EQ(bytesByPath.size(), 3u);
  EXPECT_EQ(bytesByPath[L"N:\\keep\\"], 31);
  // The bottom file and the 32,768-unit one count in the deepest folder that can be named (level
  // 126 of 0 to 129), without a name; the 32,767-unit path is still reported.
  for (const auto& [path, bytes] : bytesByPath) {
    if (path.size() == 3u + 127 * 256) {
      EXPECT_EQ(bytes, 17 + 23);
    } else if (path.size() == kLongestReportablePath) {
      EXPECT_EQ(bytes, 19);
    } else {
      EXPECT_EQ(path, L"N:\\keep\\");
    }
  }
}

TEST(MftWalkTest, DamagedVolumesNeverCrashTheReaderOrTheWalk) {
  RandomTree tree(7);
  const std::vector<uint8_t> pristine = tree.volume.image();
  std::mt19937 random(2024);
  size_t built = 0;
  for (int round = 0; round < 120; ++round) {
    std::vector<uint8_t> image = pristine;
    // Damage a few bytes of the boot sector or the table, then mend the update sequence of the
    // damaged record so that the damage reaches the attribute parser.
    const int flips = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < flips; ++i) {
      const size_t at = random() % 3 == 0 ? random() % 512 : 4096 + random() % (220 * 1024);
      image[at] = static_cast<uint8_t>(random());
      const size_t record = (at - 4096) / 1024;
      if (at >= 4096 && at < 4096 + 220 * 1024 && at % 512 < 510) {
        const size_t base = 4096 + record * 1024;
        image[base + 510] = image[base + 0x30], image[base + 511] = image[base + 0x31];
        image[base + 1022] = image[base + 0x30], image[base + 1023] = image[base + 0x31];
      }
    }
    MemoryByteSource source(image);
    const MftIndexResult result = buildMftIndex(source);
    if (!result.index) continue;
    ++built;
    MftFileSystem fileSystem(result.index, L"N:");
    const std::vector<Seen> seen = walkAll(fileSystem, L"N:\\");
    EXPECT_LE(seen.size(), result.index->recordCount() * 4);
  }
  EXPECT_GT(built, 40u);
}

}  // namespace
}  // namespace tidvale::fs::mft

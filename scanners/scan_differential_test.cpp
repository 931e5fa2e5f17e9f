// Each storage scan against a plain oracle written from the scan's rules, over seeded random trees
// (TIDVALE_DIFF_SEEDS raises the number of seeds; a failure names its seed) and over a few named
// shapes that once let faults through.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <tuple>

#include "channels/byte_streams.h"
#include "channels/standard_codec_serializer.h"
#include "core/dispatcher.h"
#include "core/lower_case.h"
#include "fs/walker_parallel.h"
#include "scanners/disk_usage.h"
#include "scanners/duplicate_finder.h"
#include "scanners/junk_reply_test_support.h"
#include "scanners/junk_scanner.h"
#include "scanners/large_file_scanner.h"
#include "scanners/path_walks.h"
#include "scanners/random_tree_test_support.h"
#include "scanners/storage_test_support.h"

namespace tidvale {
namespace {

using testing::asciiUtf8;
using testing::int64At;
using testing::listAt;
using testing::mapOf;
using testing::RandomTree;
using testing::stringAt;
using testing::TreeEntry;
using testing::TreeEntryKind;

const std::wstring kRoot = L"C:\\r";
constexpr size_t kLargeLimit = 400;
constexpr size_t kDiskChildren = 40;

std::string fullPath(const std::wstring& relative) {
  return asciiUtf8(relative.empty() ? kRoot : kRoot + L"\\" + relative);
}

// --- The rules, entry by entry -----------------------------------------------------------------

bool anyFolderAbove(const RandomTree& tree, const TreeEntry& entry, int stop,
                    const std::function<bool(const TreeEntry&)>& test) {
  for (int i = entry.parent; i != stop && i >= 0; i = tree.entries()[size_t(i)].parent) {
    if (test(tree.entries()[size_t(i)])) return true;
  }
  return false;
}

bool hiddenOrSystem(const TreeEntry& entry) {
  return (entry.attributes & (fs::kAttributeHidden | fs::kAttributeSystem)) != 0;
}

// walkFiles: plain files, not hidden or system, with no hidden, system, reparse-point, unreadable
// or skipped-name folder on the way.
bool walked(const RandomTree& tree, const TreeEntry& entry) {
  static const std::set<std::wstring> skipped = {
      L".git",    L"node_modules", L"$recycle.bin", L"system volume information",
      L"windows", L"appdata",      L".cache",       L".gradle",
      L".cargo",  L".rustup",      L"programdata",  L"$windows.~bt"};
  return entry.kind == TreeEntryKind::File && !hiddenOrSystem(entry) &&
         !anyFolderAbove(tree, entry, -1, [](const TreeEntry& folder) {
           return folder.denied || folder.kind == TreeEntryKind::PlaceholderFolder ||
                  hiddenOrSystem(folder) || skipped.contains(toLowerUnits(folder.name()));
         });
}

// measurePath of the folder `below` (-1: the root): every file, placeholders included, that no
// unreadable folder hides; links are never entered (they hold nothing in these trees).
int64_t measured(const RandomTree& tree, int below) {
  if (below >= 0 && tree.entries()[size_t(below)].denied) return 0;
  int64_t sum = 0;
  for (const TreeEntry& entry : tree.entries()) {
    const bool file = entry.kind == TreeEntryKind::File || entry.kind == TreeEntryKind::Placeholder;
    const bool inside = below < 0 || anyFolderAbove(tree, entry, -1, [&](const TreeEntry& f) {
                          return &f == &tree.entries()[size_t(below)];
                        });
    if (file && inside &&
        !anyFolderAbove(tree, entry, below, [](const TreeEntry& f) { return f.denied; })) {
      sum += entry.size;
    }
  }
  return sum;
}

int64_t measuredEntry(const RandomTree& tree, int index) {
  const TreeEntry& entry = tree.entries()[size_t(index)];
  if (entry.isFolder()) return measured(tree, index);
  const bool file = entry.kind == TreeEntryKind::File || entry.kind == TreeEntryKind::Placeholder;
  return file ? entry.size : 0;
}

// Standard path order: component by component, each as UTF-16 units.
bool componentsLess(const std::string& a, const std::string& b) {
  const auto split = [](const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
      if (i == path.size() || path[i] == '\\') parts.push_back(path.substr(start, i - start));
      if (i < path.size() && path[i] == '\\') start = i + 1;
    }
    return parts;
  };
  return split(a) < split(b);
}

std::vector<uint8_t> encoded(const EncodableMap& reply) {
  std::vector<uint8_t> bytes;
  ByteBufferStreamWriter writer(&bytes);
  StandardCodecSerializer::GetInstance().WriteValue(EncodableValue(reply), &writer);
  return bytes;
}

// Runs a scan with a fresh service state, its progress events drained.
EncodableMap scanned(const std::function<EncodableMap(ServiceState&)>& scan) {
  ServiceState state;
  EncodableMap reply = scan(state);
  dispatcher().drain();
  return reply;
}

// --- The oracles -------------------------------------------------------------------------------

EncodableMap largeFiles(const RandomTree& tree, int64_t minSize, std::optional<uint32_t> shuffle) {
  fs::FakeFileSystem fileSystem;
  tree.plant(fileSystem, kRoot, shuffle);
  return scanned([&](ServiceState& state) {
    return runLargeFileScan(state, fileSystem, kRoot, minSize, asciiUtf8);
  });
}

// Sort every walked file at or above the threshold, largest first, and cut at 400.
// Whether the tree reached past twice the limit and had a tie across the cut: what the generator
// must produce often enough.
struct LargeFileShape {
  bool pastTwiceTheLimit = false;
  bool tieAtTheCut = false;
};

LargeFileShape checkLargeFiles(const RandomTree& tree, int64_t minSize) {
  std::map<std::string, const TreeEntry*> candidates;
  std::vector<int64_t> sizes;
  int64_t walkedFiles = 0;
  for (const TreeEntry& entry : tree.entries()) {
    if (!walked(tree, entry)) continue;
    ++walkedFiles;
    if (entry.size < minSize) continue;
    candidates[fullPath(entry.path)] = &entry;
    sizes.push_back(entry.size);
  }
  std::sort(sizes.rbegin(), sizes.rend());
  const LargeFileShape shape{
      sizes.size() > 2 * kLargeLimit,
      sizes.size() > kLargeLimit && sizes[kLargeLimit - 1] == sizes[kLargeLimit]};
  sizes.resize(std::min(sizes.size(), kLargeLimit));

  const EncodableMap reply = largeFiles(tree, minSize, std::nullopt);
  EXPECT_EQ(int64At(reply, "scanned"), walkedFiles);
  std::vector<int64_t> replied;
  std::set<std::string> paths;
  for (const EncodableValue& value : listAt(reply, "items")) {
    const EncodableMap& item = mapOf(value);
    const std::string path = stringAt(item, "path");
    const auto found = candidates.find(path);
    if (found == candidates.end()) {
      ADD_FAILURE() << path << " is not a candidate";
      continue;
    }
    EXPECT_TRUE(paths.insert(path).second) << path << " twice";
    EXPECT_EQ(int64At(item, "size"), found->second->size) << path;
    EXPECT_EQ(stringAt(item, "name"), asciiUtf8(found->second->name()));
    EXPECT_EQ(int64At(item, "modified"), unixSecondsFromFileTime(found->second->lastWriteTime));
    replied.push_back(int64At(item, "size"));
  }
  EXPECT_EQ(replied, sizes);
  return shape;
}

EncodableMap diskTree(const RandomTree& tree, int32_t depth, std::optional<uint32_t> shuffle) {
  fs::FakeFileSystem fileSystem;
  tree.plant(fileSystem, kRoot, shuffle);
  return scanned([&](ServiceState& state) {
    return runDiskAnalysis(state, fileSystem, asciiUtf8(kRoot), kRoot, depth, asciiUtf8);
  });
}

struct DiskPrefix {
  int64_t size = 0;
  int64_t files = 0;
  bool isDir = false;
};

// Sum every counted file (no reparse point on it or on the way) into each of its path prefixes
// up to `depth` components; each node shows its 40 largest children and one "…" node for the
// rest's bytes.
// Returns whether some node had a tie across its 40th child.
bool checkDiskTree(const RandomTree& tree, int32_t depth) {
  bool tieAtTheCut = false;
  std::map<std::wstring, DiskPrefix> prefixes;
  std::map<std::wstring, std::vector<std::wstring>> children;
  for (const TreeEntry& entry : tree.entries()) {
    if (entry.kind != TreeEntryKind::File ||
        anyFolderAbove(tree, entry, -1, [](const TreeEntry& f) {
          return f.denied || f.kind == TreeEntryKind::PlaceholderFolder;
        })) {
      continue;
    }
    prefixes[L""].size += entry.size;
    prefixes[L""].files += 1;
    std::wstring prefix;
    size_t start = 0;
    for (int32_t level = 0; level < depth && start != std::wstring::npos; ++level) {
      const size_t end = entry.path.find(L'\\', start);
      const std::wstring parent = prefix;
      prefix = entry.path.substr(0, end);
      if (!prefixes.contains(prefix)) children[parent].push_back(prefix);
      DiskPrefix& node = prefixes[prefix];
      node.size += entry.size;
      node.files += 1;
      node.isDir = end != std::wstring::npos;
      start = end == std::wstring::npos ? end : end + 1;
    }
  }

  const EncodableMap reply = diskTree(tree, depth, std::nullopt);
  EXPECT_EQ(int64At(reply, "scanned"), prefixes[L""].files);
  EXPECT_EQ(stringAt(reply, "name"), asciiUtf8(kRoot));
  std::function<void(const EncodableMap&, const std::wstring&)> check =
      [&](const EncodableMap& node, const std::wstring& prefix) {
        const DiskPrefix& expected = prefixes[prefix];
        EXPECT_EQ(int64At(node, "size"), expected.size) << asciiUtf8(prefix);
        EXPECT_EQ(int64At(node, "files"), expected.files) << asciiUtf8(prefix);
        EXPECT_EQ(testing::boolAt(node, "isDir"), prefix.empty() || expected.isDir);
        std::vector<int64_t> sizes;
        for (const std::wstring& child : children[prefix]) sizes.push_back(prefixes[child].size);
        std::sort(sizes.rbegin(), sizes.rend());
        int64_t folded = 0;
        for (size_t i = kDiskChildren; i < sizes.size(); ++i) folded += sizes[i];
        const size_t kept = std::min(sizes.size(), kDiskChildren);
        tieAtTheCut |= sizes.size() > kept && sizes[kept - 1] == sizes[kept];
        const EncodableList& list = listAt(node, "children");
        ASSERT_EQ(list.size(), kept + (folded > 0 ? 1 : 0)) << asciiUtf8(prefix);
        for (size_t i = 0; i < kept; ++i) {
          const EncodableMap& child = mapOf(list[i]);
          const std::string name = stringAt(child, "name");
          const std::wstring childPrefix =
              (prefix.empty() ? L"" : prefix + L"\\") + std::wstring(name.begin(), name.end());
          ASSERT_TRUE(prefixes.contains(childPrefix)) << name << " under " << asciiUtf8(prefix);
          EXPECT_EQ(stringAt(child, "path"), fullPath(childPrefix));
          EXPECT_EQ(int64At(child, "size"), sizes[i])
              << "child " << i << " of " << asciiUtf8(prefix);
          check(child, childPrefix);
        }
        if (folded > 0) {
          EXPECT_EQ(mapOf(list.back()),
                    (EncodableMap{{EncodableValue("name"), EncodableValue("\xE2\x80\xA6")},
                                  {EncodableValue("path"), EncodableValue("")},
                                  {EncodableValue("size"), EncodableValue(folded)},
                                  {EncodableValue("files"), EncodableValue(int64_t{0})},
                                  {EncodableValue("isDir"), EncodableValue(false)},
                                  {EncodableValue("children"), EncodableValue(EncodableList{})},
                                  {EncodableValue("isOther"), EncodableValue(true)}}));
        }
      };
  check(reply, L"");
  return tieAtTheCut;
}

EncodableMap duplicates(const RandomTree& tree, int64_t minSize, size_t workers) {
  fs::FakeFileSystem fileSystem;
  tree.plant(fileSystem, kRoot);
  const DuplicateScanEnvironment environment{fileSystem, tree.contentReaders(kRoot), workers,
                                             asciiUtf8};
  return scanned(
      [&](ServiceState& state) { return runDuplicateScan(state, environment, kRoot, minSize); });
}

using DuplicateGroup =
    std::tuple<int64_t, std::string, std::vector<uint64_t>>;  // size, hash, files

// Group the readable walked files at or above the threshold by size and content; the names of
// one file (hard links) are one file.
void checkDuplicates(const RandomTree& tree, int64_t minSize, size_t workers) {
  std::map<std::pair<int64_t, std::string>, std::set<uint64_t>> byContent;
  int64_t walkedFiles = 0;
  for (const TreeEntry& entry : tree.entries()) {
    if (!walked(tree, entry)) continue;
    ++walkedFiles;
    if (entry.size < minSize || tree.content(entry.file).fault != testing::ReadFault::None)
      continue;
    byContent[{entry.size, RandomTree::wholeDigest(entry.size, tree.content(entry.file))}].insert(
        entry.file);
  }
  std::vector<DuplicateGroup> expected;
  for (const auto& [key, files] : byContent) {
    if (files.size() > 1)
      expected.emplace_back(key.first, key.second, std::vector(files.begin(), files.end()));
  }

  const EncodableMap reply = duplicates(tree, minSize, workers);
  EXPECT_EQ(int64At(reply, "scanned"), walkedFiles);
  std::vector<DuplicateGroup> replied;
  int64_t wastedSum = 0;
  int64_t previousWasted = INT64_MAX;
  for (const EncodableValue& value : listAt(reply, "groups")) {
    const EncodableMap& group = mapOf(value);
    const int64_t size = int64At(group, "size");
    std::vector<uint64_t> files;
    std::string previousPath;
    for (const EncodableValue& fileValue : listAt(group, "files")) {
      const std::string path = stringAt(mapOf(fileValue), "path");
      const int index = tree.find(std::wstring(path.begin() + long(kRoot.size()) + 1, path.end()));
      ASSERT_GE(index, 0) << path;
      EXPECT_TRUE(walked(tree, tree.entries()[size_t(index)])) << path;
      EXPECT_TRUE(previousPath.empty() || componentsLess(previousPath, path)) << path;
      previousPath = path;
      files.push_back(tree.entries()[size_t(index)].file);
    }
    std::sort(files.begin(), files.end());
    const int64_t wasted = int64At(group, "wasted");
    EXPECT_EQ(wasted, static_cast<int64_t>(files.size() - 1) * size);
    EXPECT_LE(wasted, previousWasted) << "groups out of order";
    previousWasted = wasted;
    wastedSum += wasted;
    replied.emplace_back(size, stringAt(group, "hash"), files);
  }
  EXPECT_EQ(int64At(reply, "wasted"), wastedSum);
  std::sort(replied.begin(), replied.end());
  EXPECT_EQ(replied, expected);
}

// --- Differential runs -------------------------------------------------------------------------

constexpr uint32_t kSeeds = 120;

// Every 15th seed gives a tree large enough to pass twice the large-file limit.
bool largeSeed(uint32_t seed) {
  return seed % 15 == 0;
}

RandomTree treeForSeed(uint32_t seed) {
  return testing::randomTree(seed, largeSeed(seed) ? 1500 : 100);
}

int64_t thresholdForSeed(uint32_t seed) {
  static const int64_t thresholds[] = {0, 1, 65536, 1048576, 104857600};
  return largeSeed(seed) ? (seed / 15) % 2 : thresholds[seed % std::size(thresholds)];
}

TEST(ScanDifferential, LargeFilesAreEveryWalkedFileSortedAndCut) {
  int pastTwiceTheLimit = 0;
  int tiesAtTheCut = 0;
  for (uint32_t seed = 0; seed < testing::seedCount(kSeeds); ++seed) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    const LargeFileShape shape = checkLargeFiles(treeForSeed(seed), thresholdForSeed(seed));
    pastTwiceTheLimit += shape.pastTwiceTheLimit;
    tiesAtTheCut += shape.tieAtTheCut;
  }
  EXPECT_GE(pastTwiceTheLimit, int(testing::seedCount(kSeeds) / 30));
  EXPECT_GE(tiesAtTheCut, int(testing::seedCount(kSeeds) / 30));
}

TEST(ScanDifferential, DiskTreeIsTheSumByPathPrefixLargest40AndTheRest) {
  int tiesAtTheCut = 0;
  for (uint32_t seed = 0; seed < testing::seedCount(kSeeds); ++seed) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    tiesAtTheCut += checkDiskTree(treeForSeed(seed), static_cast<int32_t>(seed % 6) - 1);
  }
  EXPECT_GE(tiesAtTheCut, int(testing::seedCount(kSeeds) / 10));
}

TEST(ScanDifferential, DuplicatesAreTheReadableWalkedFilesGroupedByContent) {
  for (uint32_t seed = 0; seed < testing::seedCount(kSeeds); ++seed) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    checkDuplicates(treeForSeed(seed), seed % 2 ? 0 : 65536, 1 + seed % 3);
  }
}

TEST(ScanDifferential, MeasuredSizeIsTheSumOfTheFilesBelow) {
  for (uint32_t seed = 0; seed < testing::seedCount(kSeeds); ++seed) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    const RandomTree tree = testing::randomTree(seed, 120);
    fs::FakeFileSystem fileSystem;
    tree.plant(fileSystem, kRoot);
    const std::atomic<bool> cancel{false};
    EXPECT_EQ(measurePath(fileSystem, kRoot, cancel), measured(tree, -1));
    EXPECT_EQ(measurePath(fileSystem, kRoot + L"\\missing", cancel), 0);
    for (size_t i = seed % 3; i < tree.entries().size(); i += 3) {
      EXPECT_EQ(measurePath(fileSystem, kRoot + L"\\" + tree.entries()[i].path, cancel),
                measuredEntry(tree, static_cast<int>(i)))
          << asciiUtf8(tree.entries()[i].path);
    }
  }
}

// The junk scan over random trees planted at catalogue places: a listed place gives one item per
// direct child that measures above 0, any other place one item for itself, thumbnails one item
// per entry named thumbcache_* or iconcache_*; a category's size is the sum of its items.
TEST(ScanDifferential, JunkCategoryTotalsAreTheMeasuredPlaces) {
  const std::wstring local = L"C:\\Users\\me\\AppData\\Local";
  const JunkBases bases{local,
                        L"C:\\Users\\me\\AppData\\Roaming",
                        L"C:\\Windows",
                        L"C:\\ProgramData",
                        L"C:\\Users\\me",
                        local + L"\\Temp"};
  enum class Items { Children, Whole, Thumbnails };
  const struct {
    const char* id;
    std::wstring path;
    Items items;
  } places[] = {
      {"temp", bases.temp, Items::Children},
      {"temp", L"C:\\Windows\\Temp", Items::Children},
      {"userCache", local + L"\\Microsoft\\Windows\\INetCache", Items::Whole},
      {"userLogs", L"C:\\Windows\\Logs", Items::Children},
      {"systemCache", L"C:\\Windows\\Prefetch", Items::Whole},
      {"developer", L"C:\\Users\\me\\.cache", Items::Whole},
      {"browsers", local + L"\\Google\\Chrome\\User Data\\Default\\Cache", Items::Whole},
      {"crashReports", local + L"\\CrashDumps", Items::Children},
      {"thumbnails", local + L"\\Microsoft\\Windows\\Explorer", Items::Thumbnails},
      {"windowsOld", L"C:\\Windows.old", Items::Whole},
  };
  for (uint32_t seed = 0; seed < testing::seedCount(kSeeds); ++seed) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    fs::FakeFileSystem fileSystem;
    std::map<std::string, std::pair<int64_t, size_t>> expected;  // id: bytes, items
    for (size_t p = 0; p < std::size(places); ++p) {
      auto& [bytes, count] = expected[places[p].id];
      if (((seed + 1) * 2654435761u >> (3 * p)) % 2 == 0) continue;  // the place does not exist
      RandomTree tree = testing::randomTree(seed * 16 + uint32_t(p), 14);
      tree.addFile(-1, L"thumbcache_" + std::to_wstring(seed) + L".db", 4096 * (seed % 3));
      tree.addFile(tree.addFolder(-1, L"IconCache_dir"), L"x", 512);
      tree.addFile(-1, L"iconcache.db", 7);
      tree.plant(fileSystem, places[p].path, seed);
      const auto keep = [&bytes = bytes, &count = count](int64_t size) {
        bytes += size;
        count += size > 0 ? 1 : 0;
      };
      if (places[p].items == Items::Whole) keep(measured(tree, -1));
      for (size_t i = 0; i < tree.entries().size() && places[p].items != Items::Whole; ++i) {
        const std::wstring name = toLowerUnits(tree.entries()[i].name());
        const bool thumbnail = name.starts_with(L"thumbcache_") || name.starts_with(L"iconcache_");
        if (tree.entries()[i].parent < 0 && (places[p].items == Items::Children || thumbnail)) {
          keep(measuredEntry(tree, static_cast<int>(i)));
        }
      }
    }
    const int64_t recycled = seed % 5 ? int64_t{seed} * 1000 : -1;
    if (recycled > 0) expected["trash"] = {recycled, 1};

    const JunkScanEnvironment environment{fileSystem, bases, [&] { return recycled; }, asciiUtf8};
    const testing::JunkReply reply = testing::readJunkReply(
        scanned([&](ServiceState& state) { return runJunkScan(state, environment); }));
    testing::expectConsistent(reply);
    ASSERT_EQ(reply.categories.size(), 10u);
    int64_t total = 0;
    for (const testing::JunkCategoryReply& category : reply.categories) {
      const auto [bytes, count] = expected[category.id];
      EXPECT_EQ(category.size, bytes) << category.id;
      EXPECT_EQ(category.items.size(), count) << category.id;
      total += bytes;
    }
    EXPECT_EQ(reply.total, total);
  }
}

// Equal sizes leave the order open, yet the same tree answers with the same bytes, however its
// entries were created (so whatever order its listings give) and however many workers hash.
TEST(ScanDifferential, RepliesDoNotDependOnListingOrderOrWorkers) {
  for (uint32_t seed = 0; seed < testing::seedCount(kSeeds) / 20; ++seed) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    const RandomTree tree = treeForSeed(seed * 15 + seed % 2);
    EXPECT_TRUE(encoded(largeFiles(tree, thresholdForSeed(seed), std::nullopt)) ==
                encoded(largeFiles(tree, thresholdForSeed(seed), seed)));
    EXPECT_TRUE(encoded(diskTree(tree, 3, std::nullopt)) == encoded(diskTree(tree, 3, seed)));
    EXPECT_TRUE(encoded(duplicates(tree, 0, 1)) == encoded(duplicates(tree, 0, 4)));
  }
}

// Listing folders on several threads changes nothing in any reply: the bytes are those of the
// one-thread walk on the same tree.
TEST(ScanDifferential, RepliesAreTheSameForOneWalkThreadAndMany) {
  for (uint32_t seed = 0; seed < testing::seedCount(kSeeds) / 8; ++seed) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    const RandomTree tree = treeForSeed(seed % 3 ? seed : seed * 15);
    const auto replies = [&] {
      fs::FakeFileSystem fileSystem;
      tree.plant(fileSystem, kRoot);
      const std::atomic<bool> cancel{false};
      return std::vector<std::vector<uint8_t>>{
          encoded(largeFiles(tree, thresholdForSeed(seed), std::nullopt)),
          encoded(diskTree(tree, static_cast<int32_t>(seed % 5), std::nullopt)),
          encoded(duplicates(tree, seed % 2 ? 0 : 65536, 2)),
          encoded(EncodableMap{
              {EncodableValue("size"), EncodableValue(measurePath(fileSystem, kRoot, cancel))}}),
      };
    };
    std::vector<std::vector<uint8_t>> oneThread;
    {
      const fs::ScopedWalkThreadCount threads(1);
      oneThread = replies();
    }
    for (const size_t count : {2, 3, 8}) {
      const fs::ScopedWalkThreadCount threads(count);
      EXPECT_TRUE(replies() == oneThread) << count << " threads";
    }
  }
}

// --- Named shapes ------------------------------------------------------------------------------

RandomTree sameSizes(size_t bigger, size_t tied, size_t smaller) {
  RandomTree tree;
  const int folder = tree.addFolder(-1, L"tied");
  for (size_t i = 0; i < bigger + tied + smaller; ++i) {
    const int64_t size = i < bigger ? 300 : i < bigger + tied ? 200 : 100;
    tree.addFile(i % 2 ? folder : -1, L"f" + std::to_wstring(i), size);
  }
  return tree;
}

RandomTree largestLast() {
  RandomTree tree;
  for (int i = 0; i < 1000; ++i) {
    const int folder = tree.addFolder(-1, L"d" + std::to_wstring(i));
    tree.addFile(folder, L"f.bin", 10 * (i / 3 + 1));
  }
  return tree;
}

RandomTree hardLinkBesideALaterDifference() {
  RandomTree tree;
  const int original = tree.addFile(-1, L"a.bin", 2 * 1048576, {1, 1});
  tree.addHardLink(tree.addFolder(-1, L"links"), L"b.bin", original);
  tree.addFile(-1, L"c.bin", 2 * 1048576, {1, 2});
  return tree;
}

struct NamedShape {
  const char* name;
  std::function<RandomTree()> build;
  std::function<void(const RandomTree&)> check;
};

TEST(ScanDifferential, NamedShapesMatchTheirOracles) {
  const NamedShape shapes[] = {
      {"dozens of ties, one at the 400th place", [] { return sameSizes(30, 420, 10); },
       [](const RandomTree& tree) { checkLargeFiles(tree, 1); }},
      {"more than twice 400 candidates, the largest met last", largestLast,
       [](const RandomTree& tree) { checkLargeFiles(tree, 0); }},
      {"ties at the disk tree's 40th child", [] { return sameSizes(10, 45, 5); },
       [](const RandomTree& tree) { checkDiskTree(tree, 2); }},
      {"a file, its hard link and one differing after 64 KiB", hardLinkBesideALaterDifference,
       [](const RandomTree& tree) { checkDuplicates(tree, 1, 2); }},
  };
  for (const NamedShape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    shape.check(shape.build());
  }
}

}  // namespace
}  // namespace tidvale

// The walk with folders listed on several threads: the visitor sees what the one-thread walk
// shows, in the same order, on seeded trees of every shape; a cancel stops every lister within a
// folder's listing; a queued folder that becomes unreadable is skipped like any other.
#include "fs/walker_parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <string>
#include <vector>

#include "fs/fake_file_system.h"
#include "fs/walker_test_support.h"

namespace tidvale::fs {
namespace {

const std::wstring kRoot = L"C:\\w";

// A seeded tree: wide and deep folders, a folder longer than a listing chunk, links to a folder
// full of data, hidden, denied and failing folders, and names that hold a separator.
void plantTree(FakeFileSystem& fs, uint32_t seed) {
  std::mt19937 random(seed);
  fs.addFile(L"C:\\target\\payload.bin", 1'000'000);
  std::vector<std::wstring> folders{kRoot};
  fs.addFolder(kRoot);
  for (size_t i = 0; i < folders.size() && folders.size() < 400; ++i) {
    const std::wstring folder = folders[i];
    const size_t subfolders = random() % (i == 0 ? 40 : 6);
    for (size_t f = 0; f < subfolders; ++f) {
      const std::wstring path = folder + L"\\d" + std::to_wstring(f);
      const uint32_t roll = random() % 20;
      fs.addFolder(path, roll == 0 ? kAttributeHidden : 0);
      if (roll == 1) fs.denyAccess(path);
      if (roll == 2) fs.failListingAfter(path, 2);
      folders.push_back(path);
    }
    const size_t files = random() % 8;
    for (size_t f = 0; f < files; ++f) {
      fs.addFile(folder + L"\\f" + std::to_wstring(f), int64_t(random() % 5000));
    }
    switch (random() % 12) {
      case 0:
        fs.addJunction(folder + L"\\j", L"C:\\target");
        break;
      case 1:
        fs.addSymlink(folder + L"\\s", L"C:\\target", /*folderLink=*/true);
        break;
      case 2:
        fs.addFile(folder + L"\\d0|x", 77);  // listed as "d0\x"; the real d0\x must not count
        fs.addFile(folder + L"\\d0\\x", 9);
        break;
      case 3:
        fs.addFile(folder + L"\\q|r\\inside", 5);  // a folder listed as "q\r": never entered
        break;
      default:
        break;
    }
  }
  // One folder longer than a listing chunk, its folders spread among its files.
  for (int i = 0; i < 1300; ++i) {
    const std::wstring name = kRoot + L"\\wide\\e" + std::to_wstring(i);
    if (i % 97 == 0) {
      fs.addFile(name + L"\\inner", i);
    } else {
      fs.addFile(name, i);
    }
  }
}

// What the visitor saw, entry by entry, and what was opened.
std::vector<std::wstring> visits(FileSystem& fs, size_t threads, WalkOutcome& outcome) {
  const std::atomic<bool> cancel{false};
  std::vector<std::wstring> seen;
  outcome = walkTreeInOrder(
      fs, kRoot, cancel,
      [](const DirEntry& entry, EntryKind) { return (entry.attributes & kAttributeHidden) == 0; },
      [&](const WalkEntry& item) {
        seen.push_back(item.path + L"|" + item.entry.name + L"|" + std::to_wstring(int(item.kind)) +
                       (item.pathNamesEntry ? L"" : L"|unnamed") + L"|" +
                       std::to_wstring(item.entry.size));
      },
      threads);
  return seen;
}

TEST(ParallelWalkTest, VisitsWhatOneThreadVisitsInTheSameOrder) {
  for (uint32_t seed = 0; seed < 12; ++seed) {
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    FakeFileSystem fake;
    plantTree(fake, seed);
    testing::ForeignNames fs(fake);
    WalkOutcome outcome = WalkOutcome::NotStarted;
    const std::vector<std::wstring> sequential = visits(fs, 1, outcome);
    EXPECT_EQ(outcome, WalkOutcome::Finished);
    size_t wide = 0;
    for (const auto& v : sequential) wide += v.find(L"\\wide\\") != std::wstring::npos;
    ASSERT_GT(wide, 1300u);
    std::vector<std::wstring> openedOnce = fake.openedFolders();
    std::sort(openedOnce.begin(), openedOnce.end());
    for (const size_t threads : {2, 3, 8}) {
      const size_t openedBefore = fake.openedFolders().size();
      EXPECT_EQ(visits(fs, threads, outcome), sequential) << threads << " threads";
      EXPECT_EQ(outcome, WalkOutcome::Finished);
      const std::vector<std::wstring> opened = fake.openedFolders();
      std::vector<std::wstring> openedNow(opened.begin() + long(openedBefore), opened.end());
      std::sort(openedNow.begin(), openedNow.end());
      EXPECT_EQ(openedNow, openedOnce) << "each folder is opened once, as by one thread";
      for (size_t i = openedBefore; i < opened.size(); ++i) {
        EXPECT_EQ(opened[i].find(L"target"), std::wstring::npos) << "entered a link";
        EXPECT_EQ(opened[i].find(L"\\j"), std::wstring::npos) << "entered a link";
        EXPECT_EQ(opened[i].find(L"\\s"), std::wstring::npos) << "entered a link";
        EXPECT_EQ(opened[i].find(L"q\\r"), std::wstring::npos) << "joined a foreign name";
      }
    }
  }
}

TEST(ParallelWalkTest, ACancelStopsEveryListerWithinAFolderListing) {
  constexpr size_t kThreads = 4;
  FakeFileSystem fs;
  for (int folder = 0; folder < 300; ++folder) {
    for (int file = 0; file < 20; ++file) {
      fs.addFile(kRoot + L"\\d" + std::to_wstring(folder) + L"\\f" + std::to_wstring(file), 1);
    }
  }
  std::atomic<bool> cancel{false};
  std::atomic<size_t> listed{0};
  std::atomic<size_t> listedAfterCancel{0};
  fs.setListingHook([&](const std::wstring&, const DirEntry&) {
    if (cancel.load()) ++listedAfterCancel;
    if (++listed == 1000) cancel = true;
  });
  size_t visited = 0;
  size_t visitedAfterCancel = 0;
  const WalkOutcome outcome = walkTreeInOrder(
      fs, kRoot, cancel, [](const DirEntry&, EntryKind) { return true; },
      [&](const WalkEntry&) {
        ++visited;
        if (cancel.load()) ++visitedAfterCancel;
      },
      kThreads);
  EXPECT_EQ(outcome, WalkOutcome::Cancelled);
  EXPECT_LT(visited, 1000u);
  EXPECT_LE(visitedAfterCancel, 1u) << "the visitor reads the flag before every entry";
  EXPECT_LT(listedAfterCancel.load(), kThreads) << "a lister went on listing after the cancel";
}

TEST(ParallelWalkTest, AQueuedFolderThatBecomesUnreadableIsSkipped) {
  for (const size_t threads : {1, 2, 8}) {
    SCOPED_TRACE(::testing::Message() << threads << " threads");
    FakeFileSystem fs;
    for (int folder = 0; folder < 200; ++folder) {
      fs.addFile(kRoot + L"\\d" + std::to_wstring(1000 + folder) + L"\\f", 1);
    }
    // While the first folder is listed, the last one is still queued: at most 16 folders per
    // thread are listed ahead of the visitor, which cannot pass the first one yet.
    const std::wstring last = kRoot + L"\\d1199";
    fs.setListingHook([&](const std::wstring& folder, const DirEntry&) {
      if (folder == kRoot + L"\\d1000") fs.denyAccess(last);
    });
    const std::atomic<bool> cancel{false};
    int64_t bytes = 0;
    bool lastVisited = false;
    const WalkOutcome outcome = walkTreeInOrder(
        fs, kRoot, cancel, [](const DirEntry&, EntryKind) { return true; },
        [&](const WalkEntry& item) {
          bytes += item.entry.size;
          lastVisited |= item.path == last;
        },
        threads);
    EXPECT_EQ(outcome, WalkOutcome::Finished);
    EXPECT_EQ(bytes, 199);
    EXPECT_TRUE(lastVisited) << "the folder's own entry is still visited";
  }
}

TEST(ParallelWalkTest, ThreadCountIsAtLeastOneAndCanBeSetForTests) {
  const struct {
    const char* variable;
    size_t processors;
    size_t threads;
  } cases[] = {
      {nullptr, 8, 8}, {"1", 8, 1},  {"3", 2, 3},     {"0", 4, 4},     {"", 4, 4},
      {"2x", 4, 4},    {"-1", 4, 4}, {"1000", 2, 64}, {nullptr, 0, 1}, {nullptr, 200, 64},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(defaultWalkThreadCount(c.variable, c.processors), c.threads)
        << (c.variable ? c.variable : "unset") << ", " << c.processors << " processors";
  }
  EXPECT_GE(walkThreadCount(), 1u);
  {
    const ScopedWalkThreadCount three(3);
    EXPECT_EQ(walkThreadCount(), 3u);
  }
  EXPECT_GE(walkThreadCount(), 1u);
}

TEST(ParallelWalkTest, ARootThatCannotBeListedIsNotStarted) {
  FakeFileSystem fs;
  fs.addFile(L"C:\\file", 1);
  const std::atomic<bool> cancel{false};
  for (const size_t threads : {1, 4}) {
    size_t visited = 0;
    EXPECT_EQ(walkTreeInOrder(
                  fs, L"C:\\file", cancel, [](const DirEntry&, EntryKind) { return true; },
                  [&](const WalkEntry&) { ++visited; }, threads),
              WalkOutcome::NotStarted);
    EXPECT_EQ(visited, 0u);
  }
}

}  // namespace
}  // namespace tidvale::fs

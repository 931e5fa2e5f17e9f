#include "scanners/disk_usage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "channels/event_sink.h"
#include "core/dispatcher.h"
#include "core/recording_channels_test_support.h"
#include "fs/fake_file_system.h"
#include "fs/walker_parallel.h"
#include "fs/walker_test_support.h"
#include "scanners/junk_reply_test_support.h"
#include "scanners/storage_test_support.h"

namespace tidvale {
namespace {

using testing::asciiUtf8;
using testing::boolAt;
using ::testing::ElementsAre;
using testing::int64At;
using ::testing::IsEmpty;
using testing::listAt;
using testing::mapOf;
using testing::stringAt;

const std::wstring kRoot = L"C:\\data";

// A node as the reply gives it, without its children.
struct Node {
  std::string name;
  std::string path;
  int64_t size;
  int64_t files;
  bool isDir;
  bool operator==(const Node&) const = default;
};

Node nodeOf(const EncodableValue& value) {
  const EncodableMap& map = mapOf(value);
  const bool other = map.count(EncodableValue("isOther")) != 0;
  const bool root = map.count(EncodableValue("scanned")) != 0;  // with "cancelled" too
  EXPECT_EQ(map.size(), other ? 7u : (root ? 8u : 6u));
  if (other) {
    EXPECT_TRUE(boolAt(map, "isOther"));
  }
  return {stringAt(map, "name"), stringAt(map, "path"), int64At(map, "size"), int64At(map, "files"),
          boolAt(map, "isDir")};
}

std::vector<Node> childrenOf(const EncodableValue& value) {
  std::vector<Node> nodes;
  for (const EncodableValue& child : listAt(mapOf(value), "children")) {
    nodes.push_back(nodeOf(child));
  }
  return nodes;
}

class DiskUsageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dispatcher().drain();
    state_.eventSink = std::make_unique<testing::RecordingEventSink>(&events_);
  }
  void TearDown() override { dispatcher().drain(); }

  EncodableValue analyze(const std::wstring& root, int32_t depth) {
    return analyze(fs_, root, depth);
  }
  EncodableValue analyze(fs::FileSystem& fileSystem, const std::wstring& root, int32_t depth) {
    EncodableMap reply =
        runDiskAnalysis(state_, fileSystem, asciiUtf8(root), root, depth, asciiUtf8);
    dispatcher().drain();
    EXPECT_EQ(reply.size(), 8u);
    EXPECT_EQ(int64At(reply, "scanned"), int64At(reply, "files"));
    return EncodableValue(std::move(reply));
  }

  fs::FakeFileSystem fs_;
  int64_t now_ = 0;
  ServiceState state_{[this] { return now_ += 1'000'000'000; }};
  std::vector<EncodableValue> events_;
};

TEST_F(DiskUsageTest, DepthOneGivesFoldersAndFilesLargestFirst) {
  fs_.addFile(kRoot + L"\\a.txt", 10);
  fs_.addFile(kRoot + L"\\sub\\b.txt", 20);
  const EncodableValue tree = analyze(kRoot, 1);
  EXPECT_EQ(nodeOf(tree), (Node{"C:\\data", "C:\\data", 30, 2, true}));
  EXPECT_FALSE(boolAt(mapOf(tree), "cancelled"));
  EXPECT_THAT(childrenOf(tree), ElementsAre(Node{"sub", "C:\\data\\sub", 20, 1, true},
                                            Node{"a.txt", "C:\\data\\a.txt", 10, 1, false}));
  EXPECT_THAT(listAt(mapOf(listAt(mapOf(tree), "children")[0]), "children"), IsEmpty());
}

TEST_F(DiskUsageTest, DepthZeroOrNegativeGivesTheRootAlone) {
  fs_.addFile(kRoot + L"\\a.txt", 10);
  fs_.addFile(kRoot + L"\\sub\\b.txt", 20);
  for (int32_t depth : {0, -1}) {
    const EncodableValue tree = analyze(kRoot, depth);
    EXPECT_EQ(nodeOf(tree), (Node{"C:\\data", "C:\\data", 30, 2, true})) << depth;
    EXPECT_THAT(listAt(mapOf(tree), "children"), IsEmpty());
  }
}

TEST_F(DiskUsageTest, FilesBelowTheDepthAddToTheirAncestorAtThatLevel) {
  fs_.addFile(kRoot + L"\\a\\b\\c\\d.bin", 5);
  fs_.addFile(kRoot + L"\\a\\b\\e.bin", 7);
  fs_.addFolder(kRoot + L"\\a\\only-empty\\inner");
  // A trailing separator on the root doubles none in the node paths.
  const EncodableValue tree = analyze(kRoot + L"\\", 2);
  EXPECT_EQ(nodeOf(tree), (Node{"C:\\data\\", "C:\\data\\", 12, 2, true}));
  const EncodableValue& a = listAt(mapOf(tree), "children").at(0);
  EXPECT_EQ(nodeOf(a), (Node{"a", "C:\\data\\a", 12, 2, true}));
  EXPECT_THAT(childrenOf(a), ElementsAre(Node{"b", "C:\\data\\a\\b", 12, 2, true}));
  EXPECT_THAT(childrenOf(listAt(mapOf(a), "children").at(0)), IsEmpty());
}

TEST_F(DiskUsageTest, FortyChildrenThenOneOtherNodeUnlessTheRestIsEmpty) {
  for (int i = 0; i < 45; ++i) {
    fs_.addFile(kRoot + L"\\full\\f" + std::to_wstring(i), 100 + i);
    fs_.addFile(kRoot + L"\\sparse\\f" + std::to_wstring(i), i < 40 ? 100 + i : 0);
  }
  const EncodableValue tree = analyze(kRoot, 2);
  const EncodableList& top = listAt(mapOf(tree), "children");
  ASSERT_EQ(top.size(), 2u);

  const std::vector<Node> full = childrenOf(top[0]);
  ASSERT_EQ(full.size(), 41u);
  EXPECT_EQ(full[0], (Node{"f44", "C:\\data\\full\\f44", 144, 1, false}));
  EXPECT_EQ(full[39].size, 105);
  EXPECT_EQ(full[40], (Node{"\xE2\x80\xA6", "", 100 + 101 + 102 + 103 + 104, 0, false}));
  EXPECT_THAT(listAt(mapOf(listAt(mapOf(top[0]), "children")[40]), "children"), IsEmpty());

  const std::vector<Node> sparse = childrenOf(top[1]);
  EXPECT_EQ(sparse.size(), 40u);
  EXPECT_EQ(nodeOf(top[1]).files, 45);
}

TEST_F(DiskUsageTest, HiddenAndSystemFilesCountLinksAndReparsePointsDoNot) {
  fs_.addFile(kRoot + L"\\hidden.bin", 1, 0, fs::kAttributeHidden);
  fs_.addFile(kRoot + L"\\HiddenDir\\system.bin", 2, 0, fs::kAttributeSystem);
  fs_.addFolder(kRoot + L"\\HiddenDir", fs::kAttributeHidden);
  fs_.addFile(L"C:\\elsewhere\\target.bin", 1000);
  fs_.addSymlink(kRoot + L"\\symlink", L"C:\\elsewhere", /*folderLink=*/true);
  fs_.addSymlink(kRoot + L"\\file-link", L"C:\\elsewhere\\target.bin", /*folderLink=*/false);
  fs_.addJunction(kRoot + L"\\junction", L"C:\\elsewhere");
  fs_.addReparsePoint(kRoot + L"\\untagged", 0, /*folder=*/true);
  fs_.addReparsePoint(kRoot + L"\\surrogate", 0x2000001F, /*folder=*/true);
  fs_.addReparsePoint(kRoot + L"\\placeholder.docx", 0x9000001A, /*folder=*/false, 500);

  const EncodableValue tree = analyze(kRoot, 3);
  EXPECT_EQ(nodeOf(tree), (Node{"C:\\data", "C:\\data", 3, 2, true}));
  EXPECT_THAT(childrenOf(tree),
              ElementsAre(Node{"HiddenDir", "C:\\data\\HiddenDir", 2, 1, true},
                          Node{"hidden.bin", "C:\\data\\hidden.bin", 1, 1, false}));
  for (const wchar_t* link : {L"\\symlink", L"\\junction", L"\\untagged", L"\\surrogate"}) {
    for (const std::wstring& opened : fs_.openedFolders()) EXPECT_NE(opened, kRoot + link);
  }
}

// Names listed as "a\\b", "x\\y" and "q\\r": the files count in their folders and get no node,
// the folder is not entered, and the real a\\b is counted once.
TEST_F(DiskUsageTest, NamesHoldingASeparatorCountInTheirFolderWithoutANode) {
  fs_.addFile(kRoot + L"\\a|b", 7);
  fs_.addFile(kRoot + L"\\a\\b", 100);
  fs_.addFile(kRoot + L"\\sub\\x|y", 3);
  fs_.addFile(kRoot + L"\\sub\\q|r\\inside", 50);
  fs::testing::ForeignNames foreign(fs_);
  for (const size_t threads : {1, 4}) {
    const fs::ScopedWalkThreadCount walkThreads(threads);
    const EncodableValue tree = analyze(foreign, kRoot, 3);
    EXPECT_EQ(nodeOf(tree), (Node{"C:\\data", "C:\\data", 110, 3, true}));
    EXPECT_THAT(childrenOf(tree), ElementsAre(Node{"a", "C:\\data\\a", 100, 1, true},
                                              Node{"sub", "C:\\data\\sub", 3, 1, true}));
    EXPECT_THAT(childrenOf(listAt(mapOf(tree), "children").at(1)), IsEmpty());
  }
}

TEST_F(DiskUsageTest, ProgressEveryTwoThousandFilesAndCancellationKeepsThePartialTree) {
  for (int i = 0; i < 2000; ++i) fs_.addFile(kRoot + L"\\a\\f" + std::to_wstring(i), 1);
  fs_.addFile(kRoot + L"\\b\\late.bin", 50);
  fs_.setListingHook([&](const std::wstring& folder, const fs::DirEntry&) {
    if (folder == kRoot + L"\\b") state_.cancelFlag = true;
  });
  // The cancel comes at a point of the one-thread order; listers working ahead would reach b's
  // listing at a point of their own timing.
  const fs::ScopedWalkThreadCount oneThread(1);

  const EncodableValue tree = analyze(kRoot, 1);
  EXPECT_TRUE(boolAt(mapOf(tree), "cancelled"));
  EXPECT_EQ(nodeOf(tree).size, 2000);
  EXPECT_THAT(childrenOf(tree), ElementsAre(Node{"a", "C:\\data\\a", 2000, 2000, true}));
  const std::vector<testing::ProgressEvent> events = testing::readProgressEvents(events_);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].task, "disk");
  EXPECT_EQ(events[0].count, 2000);
  EXPECT_EQ(events[0].bytes, 2000);
  EXPECT_NE(events[0].path, "");
  EXPECT_EQ(events[1].path, "");
  EXPECT_EQ(events[1].count, 2000);
}

TEST_F(DiskUsageTest, RootThatCannotBeListedGivesAnEmptyRoot) {
  const EncodableValue tree = analyze(L"C:\\missing", 3);
  EXPECT_EQ(nodeOf(tree), (Node{"C:\\missing", "C:\\missing", 0, 0, true}));
  EXPECT_THAT(listAt(mapOf(tree), "children"), IsEmpty());
}

}  // namespace
}  // namespace tidvale

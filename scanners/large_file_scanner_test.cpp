#include "scanners/large_file_scanner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "channels/event_sink.h"
#include "core/dispatcher.h"
#include "core/recording_channels_test_support.h"
#include "fs/fake_file_system.h"
#include "fs/walker_parallel.h"
#include "scanners/junk_reply_test_support.h"
#include "scanners/path_walks.h"
#include "scanners/scan_item.h"
#include "scanners/storage_test_support.h"

namespace tidvale {
namespace {

using testing::asciiUtf8;
using ::testing::ElementsAreArray;
using testing::int64At;
using ::testing::IsEmpty;
using testing::listAt;
using testing::mapOf;
using testing::stringAt;

constexpr int64_t kHundredMiB = 104857600;
constexpr int64_t kModifiedSeconds = 1'700'000'000;
constexpr int64_t kModifiedTicks =
    (kFileTimeEpochToUnixEpochSeconds + kModifiedSeconds) * kFileTimeTicksPerSecond;
const std::wstring kRoot = L"C:\\Users\\me";

struct Item {
  std::string path;
  int64_t size;
  bool operator==(const Item&) const = default;
};

class LargeFileScannerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dispatcher().drain();
    state_.eventSink = std::make_unique<testing::RecordingEventSink>(&events_);
  }
  void TearDown() override { dispatcher().drain(); }

  EncodableMap scan(int64_t minSize) {
    EncodableMap reply = runLargeFileScan(state_, fs_, kRoot, minSize, asciiUtf8);
    dispatcher().drain();
    EXPECT_EQ(reply.size(), 3u);
    return reply;
  }

  static std::vector<Item> items(const EncodableMap& reply) {
    std::vector<Item> out;
    for (const EncodableValue& value : listAt(reply, "items")) {
      const EncodableMap& item = mapOf(value);
      out.push_back({stringAt(item, "path"), int64At(item, "size")});
    }
    return out;
  }

  static std::string path(const std::wstring& relative) {
    return asciiUtf8(kRoot + L"\\" + relative);
  }

  fs::FakeFileSystem fs_;
  int64_t now_ = 0;
  ServiceState state_{[this] { return now_ += 1'000'000'000; }};
  std::vector<EncodableValue> events_;
};

TEST_F(LargeFileScannerTest, ThresholdIsInclusiveAndItemsCarryNameTimeAndExtension) {
  fs_.addFile(kRoot + L"\\Videos\\Movie.MKV", kHundredMiB, kModifiedTicks);
  fs_.addFile(kRoot + L"\\Videos\\almost.bin", kHundredMiB - 1);
  fs_.addFile(kRoot + L"\\small.txt", 10);

  const EncodableMap reply = scan(kHundredMiB);
  EXPECT_EQ(int64At(reply, "scanned"), 3);
  EXPECT_FALSE(testing::boolAt(reply, "cancelled"));
  ASSERT_EQ(listAt(reply, "items").size(), 1u);
  const EncodableMap& item = mapOf(listAt(reply, "items")[0]);
  EXPECT_EQ(item, (ScanItem{path(L"Videos\\Movie.MKV"), "Movie.MKV", kHundredMiB, false,
                            kModifiedSeconds, "mkv"}
                       .toEncodableMap()));
}

TEST_F(LargeFileScannerTest, KeepsThe400LargestLargestFirst) {
  std::vector<Item> expected;
  for (int i = 0; i < 450; ++i) {
    // Sizes in a scrambled walk order, all distinct, all above the threshold.
    const int64_t size = 1000 + (i * 7919) % 450;
    const std::wstring name = L"f" + std::to_wstring(i) + L".bin";
    fs_.addFile(kRoot + L"\\d" + std::to_wstring(i % 9) + L"\\" + name, size);
    expected.push_back({path(L"d" + std::to_wstring(i % 9) + L"\\" + name), size});
  }
  std::sort(expected.begin(), expected.end(),
            [](const Item& a, const Item& b) { return a.size > b.size; });
  expected.resize(kLargeFileItemLimit);

  const EncodableMap reply = scan(1000);
  EXPECT_EQ(int64At(reply, "scanned"), 450);
  EXPECT_THAT(items(reply), ElementsAreArray(expected));
}

TEST_F(LargeFileScannerTest, MinSizeZeroKeepsEmptyFilesAndDefaultKeepsNone) {
  fs_.addFile(kRoot + L"\\empty.txt", 0);
  fs_.addFile(kRoot + L"\\one.txt", 1);
  EXPECT_THAT(items(scan(0)),
              ElementsAreArray({Item{path(L"one.txt"), 1}, Item{path(L"empty.txt"), 0}}));
  const EncodableMap byDefault = scan(kHundredMiB);
  EXPECT_THAT(items(byDefault), IsEmpty());
  EXPECT_EQ(int64At(byDefault, "scanned"), 2);
}

TEST_F(LargeFileScannerTest, SkippedFoldersHiddenFilesAndLinksAreNeitherCountedNorReported) {
  fs_.addFile(kRoot + L"\\node_modules\\big.bin", kHundredMiB);
  fs_.addFile(kRoot + L"\\code\\.git\\pack\\x.pack", kHundredMiB);
  fs_.addFile(kRoot + L"\\AppData\\Local\\cache.db", kHundredMiB);
  fs_.addFile(kRoot + L"\\deep\\Windows\\x.dll", kHundredMiB);
  fs_.addFile(kRoot + L"\\hidden.bin", kHundredMiB, 0, fs::kAttributeHidden);
  fs_.addFile(kRoot + L"\\system.bin", kHundredMiB, 0, fs::kAttributeSystem);
  fs_.addFile(L"C:\\elsewhere\\target.bin", kHundredMiB);
  fs_.addSymlink(kRoot + L"\\linked", L"C:\\elsewhere", /*folderLink=*/true);
  fs_.addJunction(kRoot + L"\\junction", L"C:\\elsewhere");
  fs_.addReparsePoint(kRoot + L"\\wsl-link", 0, /*folder=*/true);
  fs_.addFile(kRoot + L"\\Projects\\app\\bin\\app.exe", kHundredMiB);

  const EncodableMap reply = scan(kHundredMiB);
  EXPECT_EQ(int64At(reply, "scanned"), 1);
  EXPECT_THAT(items(reply),
              ElementsAreArray({Item{path(L"Projects\\app\\bin\\app.exe"), kHundredMiB}}));
}

TEST_F(LargeFileScannerTest, ProgressEveryFiveHundredFilesThenOneForcedFinalEvent) {
  for (int i = 0; i < 1001; ++i) fs_.addFile(kRoot + L"\\f" + std::to_wstring(i), 2);
  const EncodableMap reply = scan(kHundredMiB);
  const std::vector<testing::ProgressEvent> events = testing::readProgressEvents(events_);
  ASSERT_EQ(events.size(), 3u);
  for (const auto& event : events) EXPECT_EQ(event.task, "large");
  EXPECT_EQ(events[0].count, 500);
  EXPECT_EQ(events[0].bytes, 1000);
  EXPECT_NE(events[0].path, "");
  EXPECT_EQ(events[1].count, 1000);
  EXPECT_EQ(events[2].path, "");
  EXPECT_EQ(events[2].count, 1001);
  EXPECT_EQ(events[2].bytes, 2002);
  EXPECT_EQ(int64At(reply, "scanned"), 1001);
}

TEST_F(LargeFileScannerTest, CancellingMidWalkReturnsTheLargestFoundSoFarSorted) {
  for (int i = 0; i < 10; ++i) fs_.addFile(kRoot + L"\\a\\f" + std::to_wstring(i), 100 + i);
  fs_.addFile(kRoot + L"\\b\\huge", 999999);
  fs_.setListingHook([&](const std::wstring& folder, const fs::DirEntry&) {
    if (folder == kRoot + L"\\b") state_.cancelFlag = true;
  });
  // The cancel comes at a point of the one-thread order; listers working ahead would reach b's
  // listing at a point of their own timing.
  const fs::ScopedWalkThreadCount oneThread(1);

  const EncodableMap reply = scan(0);
  EXPECT_TRUE(testing::boolAt(reply, "cancelled"));
  EXPECT_EQ(int64At(reply, "scanned"), 10);
  const std::vector<Item> found = items(reply);
  ASSERT_EQ(found.size(), 10u);
  EXPECT_EQ(found.front().size, 109);
  EXPECT_TRUE(std::is_sorted(found.begin(), found.end(),
                             [](const Item& a, const Item& b) { return a.size > b.size; }));
}

TEST_F(LargeFileScannerTest, RootThatCannotBeListedGivesNothing) {
  fs_.addFolder(L"C:\\locked");
  fs_.denyAccess(L"C:\\locked");
  const EncodableMap missing = runLargeFileScan(state_, fs_, L"C:\\missing", 0, asciiUtf8);
  const EncodableMap denied = runLargeFileScan(state_, fs_, L"C:\\locked", 0, asciiUtf8);
  for (const EncodableMap* reply : {&missing, &denied}) {
    EXPECT_THAT(listAt(*reply, "items"), IsEmpty());
    EXPECT_EQ(int64At(*reply, "scanned"), 0);
  }
}

}  // namespace
}  // namespace tidvale

#include "scanners/junk_scanner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "channels/event_sink.h"
#include "core/dispatcher.h"
#include "core/recording_channels_test_support.h"
#include "fs/fake_file_system.h"
#include "scanners/junk_reply_test_support.h"
#include "scanners/path_walks.h"

namespace tidvale {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::JunkItem;
using testing::JunkReply;
using testing::ProgressEvent;

constexpr int64_t kSecondTicks = kFileTimeTicksPerSecond;
constexpr int64_t kUnixEpochTicks = kFileTimeEpochToUnixEpochSeconds * kSecondTicks;
constexpr int64_t kModifiedSeconds = 1'700'000'000;
constexpr int64_t kModifiedTicks = kUnixEpochTicks + kModifiedSeconds * kSecondTicks;

// Test paths are ASCII; anything else is a fault in the test itself.
std::string ascii(std::wstring_view text) {
  std::string out;
  for (wchar_t unit : text) {
    EXPECT_LT(static_cast<uint32_t>(unit), 0x80u);
    out.push_back(static_cast<char>(unit));
  }
  return out;
}

const std::wstring kProfile = L"C:\\Users\\me";
const std::wstring kLocal = kProfile + L"\\AppData\\Local";
const std::wstring kWindows = L"C:\\Windows";
const std::wstring kProgramData = L"C:\\ProgramData";

class JunkScannerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dispatcher().drain();
    state_.eventSink = std::make_unique<testing::RecordingEventSink>(&events_);
  }
  void TearDown() override { dispatcher().drain(); }

  JunkReply scan() {
    const JunkScanEnvironment environment{fs_, bases_, [this] { return recycleBytes_; }, ascii};
    const EncodableMap reply = runJunkScan(state_, environment);
    dispatcher().drain();
    JunkReply read = testing::readJunkReply(reply);
    testing::expectConsistent(read);
    return read;
  }

  std::vector<ProgressEvent> events() { return testing::readProgressEvents(events_); }

  static std::string utf8(const std::wstring& path) { return ascii(path); }

  fs::FakeFileSystem fs_;
  JunkBases bases_{kLocal,   kProfile + L"\\AppData\\Roaming",
                   kWindows, kProgramData,
                   kProfile, kLocal + L"\\Temp"};
  int64_t recycleBytes_ = 0;
  // Each clock read is a second later, so the throttle passes every event, unless the clock is
  // told to stand still.
  int64_t now_ = 0;
  bool clockStandsStill_ = false;
  ServiceState state_{[this] { return clockStandsStill_ ? now_ : now_ += 1'000'000'000; }};
  std::vector<EncodableValue> events_;
};

TEST_F(JunkScannerTest, EmptyMachineGivesTenEmptyCategoriesAndOneFinalEvent) {
  recycleBytes_ = -1;  // the shell query failed
  const JunkReply reply = scan();

  EXPECT_THAT(reply.ids(),
              ElementsAre("temp", "userCache", "userLogs", "systemCache", "trash", "developer",
                          "browsers", "crashReports", "thumbnails", "windowsOld"));
  for (const auto& category : reply.categories) EXPECT_THAT(category.items, IsEmpty());
  EXPECT_EQ(reply.total, 0);
  EXPECT_EQ(reply.count, 0);
  EXPECT_FALSE(reply.cancelled);
  const auto sent = events();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].task, "junk");
  EXPECT_EQ(sent[0].path, "");
  EXPECT_EQ(sent[0].count, 0);
  EXPECT_EQ(sent[0].bytes, 0);
}

TEST_F(JunkScannerTest, WholePathItemsAreNamedFromTheProfile) {
  fs_.addFile(kLocal + L"\\D3DSCache\\shader.bin", 64, kModifiedTicks);
  fs_.addFile(kLocal + L"\\Microsoft\\Windows\\Caches", 8);  // a file standing at a folder's place
  fs_.addFile(kWindows + L"\\Prefetch\\APP.pf", 16);
  fs_.addFile(L"C:\\Windows.old\\Windows\\old.dll", 32);
  fs_.addFile(L"C:\\target\\data.bin", 999);
  fs_.addJunction(kLocal + L"\\NVIDIA\\DXCache", L"C:\\target");

  const JunkReply reply = scan();

  const auto* userCache = reply.category("userCache");
  ASSERT_NE(userCache, nullptr);
  ASSERT_EQ(userCache->items.size(), 2u) << "a junction measures nothing and is dropped";
  EXPECT_EQ(userCache->items[0].name, "~\\AppData\\Local\\D3DSCache");
  EXPECT_TRUE(userCache->items[0].isDir);
  EXPECT_EQ(userCache->items[0].modified, 0);
  EXPECT_EQ(userCache->items[1].name, "~\\AppData\\Local\\Microsoft\\Windows\\Caches");
  EXPECT_FALSE(userCache->items[1].isDir);

  ASSERT_EQ(reply.category("systemCache")->items.size(), 1u);
  EXPECT_EQ(reply.category("systemCache")->items[0].name, "C:\\Windows\\Prefetch");
  ASSERT_EQ(reply.category("windowsOld")->items.size(), 1u);
  EXPECT_EQ(reply.category("windowsOld")->items[0].path, "C:\\Windows.old");
  EXPECT_EQ(reply.category("windowsOld")->items[0].name, "C:\\Windows.old");
}

TEST_F(JunkScannerTest, ProfileShorthandNeedsAWholeFolderName) {
  const struct {
    std::wstring profile;
    std::string name;
  } cases[] = {
      {kProfile, "~\\AppData\\Local\\D3DSCache"},
      {kProfile + L"\\", "~\\AppData\\Local\\D3DSCache"},
      {L"C:\\Users\\m", "C:\\Users\\me\\AppData\\Local\\D3DSCache"},
      {L"C:\\users\\me", "C:\\Users\\me\\AppData\\Local\\D3DSCache"},  // exact text only
      {L"", "C:\\Users\\me\\AppData\\Local\\D3DSCache"},
  };
  fs_.addFile(kLocal + L"\\D3DSCache\\shader.bin", 64);
  for (const auto& c : cases) {
    bases_.profile = c.profile;
    const JunkReply reply = scan();
    ASSERT_EQ(reply.category("userCache")->items.size(), 1u);
    EXPECT_EQ(reply.category("userCache")->items[0].name, c.name) << ascii(c.profile);
  }
}

TEST_F(JunkScannerTest, ProgressCountsKeptItemsAndEndsWithTheReplyFigures) {
  fs_.addFile(bases_.temp + L"\\a.tmp", 100);
  fs_.addFile(bases_.temp + L"\\b.tmp", 1);
  recycleBytes_ = 1000;
  fs_.addFile(kLocal + L"\\npm-cache\\pkg.tgz", 10);
  fs_.addFile(kLocal + L"\\Microsoft\\Windows\\Explorer\\thumbcache_1.db", 5);
  fs_.addFile(L"C:\\Windows.old\\x", 7);

  const JunkReply reply = scan();
  const auto sent = events();

  ASSERT_EQ(sent.size(), 5u);
  const std::vector<std::tuple<std::string, int64_t, int64_t>> expected{
      {utf8(bases_.temp + L"\\a.tmp"), 1, 100},
      {utf8(bases_.temp + L"\\b.tmp"), 2, 101},
      {utf8(kLocal + L"\\npm-cache"), 4, 1111},  // the Recycle Bin item counts, silently
      {"C:\\Windows.old", 6, 1123},
      {"", 6, 1123},
  };
  for (size_t i = 0; i < sent.size(); ++i) {
    EXPECT_EQ(sent[i].task, "junk");
    EXPECT_EQ(std::tuple(sent[i].path, sent[i].count, sent[i].bytes), expected[i]) << i;
  }
  EXPECT_EQ(reply.count, 6);
  EXPECT_EQ(reply.total, 1123);
}

TEST_F(JunkScannerTest, ItemEventsAreThrottledAndOnlyTheFinalEventIsForced) {
  clockStandsStill_ = true;
  fs_.addFile(bases_.temp + L"\\a.tmp", 100);
  fs_.addFile(bases_.temp + L"\\b.tmp", 1);
  fs_.addFile(kLocal + L"\\npm-cache\\pkg.tgz", 10);
  fs_.addFile(L"C:\\Windows.old\\x", 7);

  const JunkReply reply = scan();
  const auto sent = events();

  ASSERT_EQ(reply.count, 4);
  ASSERT_EQ(sent.size(), 2u) << "only the first item event passes a clock that stands still";
  EXPECT_EQ(std::tuple(sent[0].path, sent[0].count, sent[0].bytes),
            std::tuple(utf8(bases_.temp + L"\\a.tmp"), int64_t{1}, int64_t{100}));
  EXPECT_EQ(std::tuple(sent[1].path, sent[1].count, sent[1].bytes),
            std::tuple(std::string(), int64_t{4}, int64_t{118}));
}

TEST_F(JunkScannerTest, CancelWhileListingAFolderStopsTheListingThere) {
  for (const wchar_t* name : {L"a.tmp", L"b.tmp", L"c.tmp", L"d.tmp"}) {
    fs_.addFile(bases_.temp + L"\\" + name, 10);
  }
  fs_.setListingHook([&](const std::wstring& folder, const fs::DirEntry& entry) {
    if (folder == bases_.temp && entry.name == L"b.tmp") state_.cancelFlag = true;
  });

  const JunkReply reply = scan();

  EXPECT_TRUE(reply.cancelled);
  EXPECT_THAT(reply.ids(), ElementsAre("temp"));
  ASSERT_EQ(reply.category("temp")->items.size(), 1u) << "plain files after the cancel were kept";
  EXPECT_EQ(reply.category("temp")->items[0].path, utf8(bases_.temp + L"\\a.tmp"));
  EXPECT_EQ(reply.count, 1);
}

TEST_F(JunkScannerTest, CancelDuringDeveloperStopsAfterIt) {
  fs_.addFile(bases_.temp + L"\\a.tmp", 100);
  fs_.addFile(kLocal + L"\\npm-cache\\pkg.tgz", 10);
  fs_.addFile(kProfile + L"\\AppData\\Roaming\\npm-cache\\later.tgz", 10);
  fs_.addFile(kLocal + L"\\Google\\Chrome\\User Data\\Default\\Cache\\data_1", 10);
  const std::wstring npmCache = kLocal + L"\\npm-cache";
  fs_.setListingHook([&](const std::wstring& folder, const fs::DirEntry&) {
    if (folder == npmCache) state_.cancelFlag = true;
  });

  const JunkReply reply = scan();

  EXPECT_TRUE(reply.cancelled);
  EXPECT_THAT(reply.ids(),
              ElementsAre("temp", "userCache", "userLogs", "systemCache", "trash", "developer"));
  EXPECT_THAT(reply.category("developer")->items, IsEmpty());
  EXPECT_EQ(reply.count, 1);
  const auto sent = events();
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent.back().path, "");
  EXPECT_EQ(sent.back().count, 1);
  EXPECT_EQ(sent.back().bytes, 100);
}

TEST_F(JunkScannerTest, AlreadyCancelledScanRepliesWithNoCategories) {
  fs_.addFile(bases_.temp + L"\\a.tmp", 100);
  state_.cancelFlag = true;
  const JunkReply reply = scan();
  EXPECT_TRUE(reply.cancelled);
  EXPECT_THAT(reply.categories, IsEmpty());
  EXPECT_EQ(reply.count, 0);
}

TEST_F(JunkScannerTest, TempNamedTwiceIsReportedOnce) {
  bases_.temp = kWindows + L"\\TEMP";
  fs_.addFile(kWindows + L"\\Temp\\setup.log", 12);

  const JunkReply reply = scan();

  ASSERT_EQ(reply.category("temp")->items.size(), 1u);
  EXPECT_EQ(reply.category("temp")->items[0].path, "C:\\Windows\\TEMP\\setup.log");
  EXPECT_EQ(reply.total, 12);
}

}  // namespace
}  // namespace tidvale

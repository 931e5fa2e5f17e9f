#include "scanners/duplicate_finder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "channels/event_sink.h"
#include "core/dispatcher.h"
#include "core/recording_channels_test_support.h"
#include "fs/fake_file_system.h"
#include "fs/walker_parallel.h"
#include "scanners/junk_reply_test_support.h"
#include "scanners/path_walks.h"
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
using ::testing::UnorderedElementsAreArray;

constexpr int64_t kBig = 2 * 1048576;

// File contents behind the content seam. The digest is the text it stands for, so equal
// digests mean equal bytes; the read rules are those of the real reader. Every span of bytes
// read is recorded.
class FakeContents {
 public:
  struct Read {
    std::wstring path;
    int64_t from;
    int64_t to;
    bool operator==(const Read&) const = default;
  };

  void set(const std::wstring& path, std::string content, std::optional<FileIdentity> id) {
    std::lock_guard guard(lock_);
    files_[path] = {std::move(content), id, false};
  }
  void lock(const std::wstring& path) {
    std::lock_guard guard(lock_);
    files_[path].locked = true;
  }
  // Called at the start of every read, outside the lock.
  std::function<void(const std::wstring& path)> onRead;

  std::vector<Read> reads() {
    std::lock_guard guard(lock_);
    return reads_;
  }

  ContentReaderFactory factory() {
    return [this] { return std::make_unique<Reader>(*this); };
  }

 private:
  struct File {
    std::string content;
    std::optional<FileIdentity> id;
    bool locked = false;
  };
  struct Continuation final : DigestContinuation {};

  // The content of an unlocked file, after recording the read; null when it cannot be opened.
  const std::string* read(const std::wstring& path, int64_t from, int64_t to) {
    if (onRead) onRead(path);
    std::lock_guard guard(lock_);
    const auto found = files_.find(path);
    if (found == files_.end() || found->second.locked) return nullptr;
    reads_.push_back({path, from, to});
    return &found->second.content;
  }

  class Reader final : public FileContentReader {
   public:
    explicit Reader(FakeContents& owner) : owner_(owner) {}

    BeginningDigest digestBeginning(const std::wstring& path, int64_t expectedSize) override {
      const bool whole = expectedSize <= kPartialDigestBytes;
      const int64_t wanted = whole ? expectedSize : kPartialDigestBytes;
      const std::string* content = owner_.read(path, 0, wanted);
      if (!content) return {};
      const int64_t length = static_cast<int64_t>(content->size());
      if (length < wanted || (whole && length != wanted)) return {};
      BeginningDigest result{"digest:" + content->substr(0, static_cast<size_t>(wanted)), nullptr};
      if (!whole) result.continuation = std::make_unique<Continuation>();
      return result;
    }

    std::string digestWhole(const std::wstring& path, int64_t expectedSize,
                            DigestContinuation* from) override {
      const int64_t start = dynamic_cast<Continuation*>(from) ? kPartialDigestBytes : 0;
      const std::string* content = owner_.read(path, start, expectedSize);
      if (!content || static_cast<int64_t>(content->size()) != expectedSize) return {};
      return "digest:" + *content;
    }

    std::optional<FileIdentity> identity(const std::wstring& path) override {
      std::lock_guard guard(owner_.lock_);
      const auto found = owner_.files_.find(path);
      return found == owner_.files_.end() ? std::nullopt : found->second.id;
    }

   private:
    FakeContents& owner_;
  };

  std::mutex lock_;
  std::map<std::wstring, File> files_;
  std::vector<Read> reads_;
};

std::wstring asciiWide(const std::string& text) {
  return std::wstring(text.begin(), text.end());
}

std::string content(int64_t size, char head, char tail = 0) {
  std::string text(static_cast<size_t>(size), head);
  if (tail && size > 0) text.back() = tail;
  return text;
}

struct Group {
  int64_t size;
  std::vector<std::string> files;
  int64_t wasted;
  bool operator==(const Group&) const = default;
};

class DuplicateFinderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dispatcher().drain();
    state_.eventSink = std::make_unique<testing::RecordingEventSink>(&events_);
  }
  void TearDown() override { dispatcher().drain(); }

  // A file listed with the content's length, with an identity of its own.
  void file(const std::wstring& relative, std::string bytes, uint32_t attributes = 0) {
    fs_.addFile(root_ + L"\\" + relative, static_cast<int64_t>(bytes.size()), 0, attributes);
    contents_.set(root_ + L"\\" + relative, std::move(bytes), FileIdentity{1, ++nextIndex_});
  }
  // A second name of the file at `existing`.
  void hardLink(const std::wstring& relative, const std::wstring& existing,
                const std::string& bytes) {
    fs_.addFile(root_ + L"\\" + relative, static_cast<int64_t>(bytes.size()));
    contents_.set(root_ + L"\\" + relative, bytes, identities_[existing]);
  }
  void fileWithIdentity(const std::wstring& relative, const std::string& bytes) {
    file(relative, bytes);
    identities_[relative] = FileIdentity{1, nextIndex_};
  }

  EncodableMap scan(int64_t minSize, size_t workers = 1) {
    const DuplicateScanEnvironment environment{fs_, contents_.factory(), workers, asciiUtf8};
    EncodableMap reply = runDuplicateScan(state_, environment, root_, minSize);
    dispatcher().drain();
    EXPECT_EQ(reply.size(), 4u);
    return reply;
  }

  static std::vector<Group> groups(const EncodableMap& reply) {
    std::vector<Group> out;
    int64_t wasted = 0;
    for (const EncodableValue& value : listAt(reply, "groups")) {
      const EncodableMap& group = mapOf(value);
      EXPECT_EQ(group.size(), 4u);
      Group read{int64At(group, "size"), {}, int64At(group, "wasted")};
      for (const EncodableValue& entry : listAt(group, "files")) {
        const EncodableMap& fileMap = mapOf(entry);
        EXPECT_EQ(fileMap.size(), 4u);
        EXPECT_EQ(int64At(fileMap, "size"), read.size);
        const std::string path = stringAt(fileMap, "path");
        EXPECT_EQ(stringAt(fileMap, "name"), path.substr(path.find_last_of('\\') + 1));
        read.files.push_back(path);
      }
      wasted += read.wasted;
      out.push_back(read);
    }
    EXPECT_EQ(int64At(reply, "wasted"), wasted);
    return out;
  }

  std::string path(const std::wstring& relative) const {
    return asciiUtf8(root_ + L"\\" + relative);
  }

  std::wstring root_ = L"C:\\home";
  fs::FakeFileSystem fs_;
  FakeContents contents_;
  uint64_t nextIndex_ = 0;
  std::map<std::wstring, FileIdentity> identities_;
  int64_t now_ = 0;
  ServiceState state_{[this] { return now_ += 1'000'000'000; }};
  std::vector<EncodableValue> events_;
};

TEST_F(DuplicateFinderTest, GroupsCopiesAndLeavesOutWhatDiffersOrCannotBeRead) {
  const struct {
    const char* name;
    std::vector<std::pair<std::wstring, std::string>> files;
    std::vector<std::wstring> locked;
    std::vector<std::pair<int64_t, std::vector<std::wstring>>> expected;  // size, files
  } cases[] = {
      {"two copies",
       {{L"b\\copy.bin", content(kBig, 'x')}, {L"a\\copy.bin", content(kBig, 'x')}},
       {},
       {{kBig, {L"a\\copy.bin", L"b\\copy.bin"}}}},
      {"three copies",
       {{L"1.bin", content(kBig, 'x')},
        {L"2.bin", content(kBig, 'x')},
        {L"3.bin", content(kBig, 'x')}},
       {},
       {{kBig, {L"1.bin", L"2.bin", L"3.bin"}}}},
      {"same first 64 KiB, different tail",
       {{L"1.bin", content(kBig, 'x', 'y')}, {L"2.bin", content(kBig, 'x', 'z')}},
       {},
       {}},
      {"one of two copies locked",
       {{L"1.bin", content(kBig, 'x')}, {L"2.bin", content(kBig, 'x')}},
       {L"2.bin"},
       {}},
      {"one of three copies locked",
       {{L"1.bin", content(kBig, 'x')},
        {L"2.bin", content(kBig, 'x')},
        {L"3.bin", content(kBig, 'x')}},
       {L"1.bin"},
       {{kBig, {L"2.bin", L"3.bin"}}}},
      {"small copies and a larger pair",
       {{L"s1", content(100, 's')},
        {L"s2", content(100, 's')},
        {L"s3", content(100, 't')},
        {L"l1", content(70000, 'l')},
        {L"l2", content(70000, 'l')}},
       {},
       {{70000, {L"l1", L"l2"}}, {100, {L"s1", L"s2"}}}},
      {"component order, not text order",
       {{L"a b\\c", content(10, 'q')}, {L"a\\b", content(10, 'q')}},
       {},
       {{10, {L"a\\b", L"a b\\c"}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    root_ = L"C:\\" + asciiWide(c.name);
    for (const auto& [relative, bytes] : c.files) file(relative, bytes);
    for (const std::wstring& relative : c.locked) contents_.lock(root_ + L"\\" + relative);
    std::vector<Group> expected;
    for (const auto& [size, files] : c.expected) {
      Group group{size, {}, static_cast<int64_t>(files.size() - 1) * size};
      for (const std::wstring& relative : files) group.files.push_back(path(relative));
      expected.push_back(group);
    }
    const EncodableMap reply = scan(1);
    EXPECT_EQ(groups(reply), expected);
    EXPECT_EQ(int64At(reply, "scanned"), static_cast<int64_t>(c.files.size()));
    EXPECT_FALSE(boolAt(reply, "cancelled"));
  }
}

TEST_F(DuplicateFinderTest, MinSizeZeroGroupsEmptyFilesAndSmallerFilesAreOnlyCounted) {
  file(L"empty1", "");
  file(L"empty2", "");
  file(L"small1", "abc");
  file(L"small2", "abc");
  EXPECT_THAT(groups(scan(0)), ElementsAre(Group{3, {path(L"small1"), path(L"small2")}, 3},
                                           Group{0, {path(L"empty1"), path(L"empty2")}, 0}));
  const EncodableMap reply = scan(4);
  EXPECT_THAT(groups(reply), IsEmpty());
  EXPECT_EQ(int64At(reply, "scanned"), 4);
  EXPECT_EQ(int64At(reply, "wasted"), 0);
}

TEST_F(DuplicateFinderTest, HardLinksAreOneFileAndAreNeverRead) {
  const std::string bytes = content(kBig, 'h');
  fileWithIdentity(L"a\\original.bin", bytes);
  hardLink(L"b\\link.bin", L"a\\original.bin", bytes);
  EXPECT_THAT(groups(scan(1)), IsEmpty());
  for (const auto& read : contents_.reads()) EXPECT_NE(read.path, root_ + L"\\b\\link.bin");

  // With a real copy beside them, the group lists the first name met and the copy once each.
  file(L"c\\copy.bin", bytes);
  EXPECT_THAT(groups(scan(1)),
              ElementsAre(Group{kBig, {path(L"a\\original.bin"), path(L"c\\copy.bin")}, kBig}));
}

TEST_F(DuplicateFinderTest, FilesReadShortOrLongAgainstTheirListedSizeHaveNoDigest) {
  file(L"1.bin", content(kBig, 'x'));
  file(L"2.bin", content(kBig, 'x'));
  file(L"3.bin", content(kBig, 'x'));
  // Both changed after the listing: one shrank, one grew; both share the first 64 KiB.
  contents_.set(root_ + L"\\2.bin", content(kBig - 10, 'x'), FileIdentity{1, 100});
  contents_.set(root_ + L"\\3.bin", content(kBig + 10, 'x'), FileIdentity{1, 101});
  EXPECT_THAT(groups(scan(1)), IsEmpty());
}

TEST_F(DuplicateFinderTest, ReadsOnlyTheBytesTheAnswerNeeds) {
  file(L"unique-size.bin", content(5000, 'u'));
  file(L"small1", content(kPartialDigestBytes, 's'));
  file(L"small2", content(kPartialDigestBytes, 's'));
  file(L"big-a", content(kBig, 'a'));
  file(L"big-b", content(kBig, 'b'));
  file(L"same1", content(kBig + 1, 'c'));
  file(L"same2", content(kBig + 1, 'c'));
  scan(1);
  // Unique sizes are never read, small files once, whole files from where the beginning ended.
  using Read = FakeContents::Read;
  EXPECT_THAT(contents_.reads(), UnorderedElementsAreArray({
                                     Read{root_ + L"\\small1", 0, kPartialDigestBytes},
                                     Read{root_ + L"\\small2", 0, kPartialDigestBytes},
                                     Read{root_ + L"\\big-a", 0, kPartialDigestBytes},
                                     Read{root_ + L"\\big-b", 0, kPartialDigestBytes},
                                     Read{root_ + L"\\same1", 0, kPartialDigestBytes},
                                     Read{root_ + L"\\same2", 0, kPartialDigestBytes},
                                     Read{root_ + L"\\same1", kPartialDigestBytes, kBig + 1},
                                     Read{root_ + L"\\same2", kPartialDigestBytes, kBig + 1},
                                 }));
}

TEST_F(DuplicateFinderTest, TheReplyIsTheSameForAnyNumberOfWorkers) {
  for (int g = 0; g < 40; ++g) {
    const int64_t size = 70000 + g % 7;  // several groups share a size bucket
    for (int copy = 0; copy < 2 + g % 3; ++copy) {
      file(L"g" + std::to_wstring(g) + L"\\c" + std::to_wstring(copy),
           content(size, 'A' + g % 26, 'a' + g / 26));
    }
    file(L"near" + std::to_wstring(g), content(size, 'A' + g % 26, '#'));
  }
  const EncodableMap alone = scan(1, 1);
  EXPECT_GT(listAt(alone, "groups").size(), 20u);
  for (size_t workers : {2u, 4u, 7u}) EXPECT_EQ(scan(1, workers), alone) << workers;
}

TEST_F(DuplicateFinderTest, ProgressAfterEachBucketAndAtTheEnd) {
  file(L"a1", content(300, 'a'));
  file(L"a2", content(300, 'a'));
  file(L"b1", content(200, 'b'));
  file(L"b2", content(200, 'c'));
  file(L"lonely", content(100, 'd'));
  scan(1);
  const std::vector<testing::ProgressEvent> events = testing::readProgressEvents(events_);
  ASSERT_EQ(events.size(), 3u);
  for (const auto& event : events) EXPECT_EQ(event.task, "dupes");
  EXPECT_EQ(events[0].path, path(L"a1"));
  EXPECT_EQ(events[0].count, 1);
  EXPECT_EQ(events[0].bytes, 300);
  EXPECT_EQ(events[1].path, path(L"b1"));
  EXPECT_EQ(events[1].count, 2);
  EXPECT_EQ(events[1].bytes, 300);
  EXPECT_EQ(events[2].path, "");
  EXPECT_EQ(events[2].count, 5);
  EXPECT_EQ(events[2].bytes, 300);
}

TEST_F(DuplicateFinderTest, CancelDuringTheWalkLeavesNothingToMatch) {
  file(L"a\\1.bin", content(kBig, 'x'));
  file(L"a\\2.bin", content(kBig, 'x'));
  file(L"b\\3.bin", content(kBig, 'x'));
  fs_.setListingHook([&](const std::wstring& folder, const fs::DirEntry&) {
    if (folder == root_ + L"\\b") state_.cancelFlag = true;
  });
  // The cancel comes at a point of the one-thread order; listers working ahead would reach b's
  // listing at a point of their own timing.
  const fs::ScopedWalkThreadCount oneThread(1);
  const EncodableMap reply = scan(1);
  EXPECT_TRUE(boolAt(reply, "cancelled"));
  EXPECT_EQ(int64At(reply, "scanned"), 2);
  EXPECT_THAT(groups(reply), IsEmpty());
  EXPECT_THAT(contents_.reads(), IsEmpty());
}

TEST_F(DuplicateFinderTest, CancelDuringAPartialStageFinishesItButNothingMore) {
  for (size_t workers : {1u, 3u}) {
    SCOPED_TRACE(workers);
    root_ = L"C:\\workers" + std::to_wstring(workers);
    state_.cancelFlag = false;
    // One bucket fills a matching window by itself; the small pair comes in the next one.
    for (size_t i = 0; i < kDuplicateWindowFiles; ++i) {
      file(L"big" + std::to_wstring(i), content(70000, 'x'));
    }
    file(L"small1", content(10, 's'));
    file(L"small2", content(10, 's'));
    size_t readsBefore = contents_.reads().size();
    contents_.onRead = [&](const std::wstring&) { state_.cancelFlag = true; };

    const EncodableMap reply = scan(1, workers);
    contents_.onRead = nullptr;
    EXPECT_TRUE(boolAt(reply, "cancelled"));
    const std::vector<FakeContents::Read> reads = contents_.reads();
    size_t partial = 0;
    for (size_t i = readsBefore; i < reads.size(); ++i) {
      EXPECT_EQ(reads[i].from, 0) << "a whole file was hashed after the cancel";
      EXPECT_EQ(reads[i].path.find(L"small"), std::wstring::npos) << "a later bucket was read";
      ++partial;
    }
    EXPECT_EQ(partial, kDuplicateWindowFiles);
    EXPECT_THAT(groups(reply), IsEmpty());
  }
}

}  // namespace
}  // namespace tidvale

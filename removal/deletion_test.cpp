#include "removal/deletion.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "channels/event_sink.h"
#include "core/dispatcher.h"
#include "core/recording_channels_test_support.h"
#include "fs/fake_file_system.h"
#include "removal/empty_bins.h"

namespace tidvale {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A Recycle Bin that keeps what it is handed, so tests can set how each step turns out.
class FakeRecycleBin final : public RecycleBin {
 public:
  explicit FakeRecycleBin(fs::FakeFileSystem& files) : files_(files) {}

  EmptyBinsResult emptyAll() override {
    ++emptied;
    return emptyResult;
  }
  int64_t bytesOnDriveOf(const std::wstring&) override { return bytes; }
  bool recycle(const std::wstring& path) override {
    recycled.push_back(path);
    if (!recycleSucceeds) return false;
    if (recycleMoves) {
      bytes += growth;
      files_.erase(path);  // the shell moves the item away whole
    }
    return true;
  }
  bool purge(const std::wstring&) override { return purgeSucceeds; }

  EmptyBinsResult emptyResult{true, 0};
  bool recycleSucceeds = true;
  bool recycleMoves = true;
  bool purgeSucceeds = true;
  int64_t bytes = 1000;
  int64_t growth = 10;
  int emptied = 0;
  std::vector<std::wstring> recycled;

 private:
  fs::FakeFileSystem& files_;
};

struct Reply {
  int64_t freed = -1;
  std::vector<std::string> failed;
  std::vector<std::string> inTrash;
  int64_t inTrashBytes = -1;
};

std::vector<std::string> strings(const EncodableValue& value) {
  std::vector<std::string> out;
  for (const EncodableValue& item : std::get<EncodableList>(value)) {
    out.push_back(std::get<std::string>(item));
  }
  return out;
}

class DeletionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dispatcher().drain();
    state_.eventSink = std::make_unique<testing::RecordingEventSink>(&events_);
    fs_.addFile(L"C:\\Users\\me\\junk\\a.bin", 100);
    fs_.addFile(L"C:\\Users\\me\\junk\\sub\\b.bin", 20);
    fs_.addFile(L"C:\\Users\\me\\canary.txt", 7);
    fs_.addFile(L"C:\\Windows\\Temp\\x.tmp", 5);
    fs_.addFile(L"C:\\Windows\\system32\\kernel32.dll", 9);
  }
  void TearDown() override { dispatcher().drain(); }

  Reply run(const std::vector<std::string>& entries, bool toTrash = false) {
    const DeletionEnvironment environment{
        fs_, bin_, guard_, [](const std::string& text) {
          if (text.find('\0') != std::string::npos) {
            return std::optional<std::wstring>();
          }
          return std::optional<std::wstring>(std::wstring(text.begin(), text.end()));
        }};
    const EncodableMap map = runDeletion(state_, environment, entries, toTrash);
    dispatcher().drain();
    EXPECT_EQ(map.size(), 4u);
    Reply reply;
    reply.freed = std::get<int64_t>(map.at(EncodableValue("freed")));
    reply.failed = strings(map.at(EncodableValue("failed")));
    reply.inTrash = strings(map.at(EncodableValue("inTrash")));
    reply.inTrashBytes = std::get<int64_t>(map.at(EncodableValue("inTrashBytes")));
    return reply;
  }

  // (path, count, bytes) of each event sent, all of task "delete".
  std::vector<std::tuple<std::string, int64_t, int64_t>> events() {
    std::vector<std::tuple<std::string, int64_t, int64_t>> out;
    for (const EncodableValue& event : events_) {
      const auto& map = std::get<EncodableMap>(event);
      EXPECT_EQ(std::get<std::string>(map.at(EncodableValue("task"))), "delete");
      out.emplace_back(std::get<std::string>(map.at(EncodableValue("path"))),
                       std::get<int64_t>(map.at(EncodableValue("count"))),
                       std::get<int64_t>(map.at(EncodableValue("bytes"))));
    }
    return out;
  }

  int64_t now_ = 0;  // the clock stands still unless a test moves it
  ServiceState state_{[this] { return now_; }};
  std::vector<EncodableValue> events_;
  fs::FakeFileSystem fs_;
  FakeRecycleBin bin_{fs_};
  RemovalGuard guard_{
      {L"C:\\Windows", L"C:\\Program Files", L"C:\\ProgramData", L"C:\\Users", L"C:\\Users\\me"},
      [](const std::wstring& path) { return std::optional<std::wstring>(path); }};
};

TEST_F(DeletionTest, EmptyListRepliesZerosWithOneFinalEvent) {
  const Reply reply = run({});
  EXPECT_EQ(reply.freed, 0);
  EXPECT_THAT(reply.failed, IsEmpty());
  EXPECT_THAT(reply.inTrash, IsEmpty());
  EXPECT_EQ(reply.inTrashBytes, 0);
  EXPECT_THAT(events(), ElementsAre(std::make_tuple("", 0, 0)));
}

TEST_F(DeletionTest, RemovesAndCreditsEachEntryInOrder) {
  bin_.emptyResult = {true, 4000};
  const Reply reply = run({"C:\\Users\\me\\junk", "recycle:", "C:\\Windows\\Temp\\x.tmp",
                           "C:\\Users\\me\\missing", "C:\\Windows\\Temp\\x.tmp"});
  EXPECT_EQ(reply.freed, 120 + 4000 + 5);
  EXPECT_THAT(reply.failed, IsEmpty());
  EXPECT_EQ(bin_.emptied, 1);
  EXPECT_FALSE(fs_.exists(L"C:\\Users\\me\\junk"));
  EXPECT_FALSE(fs_.exists(L"C:\\Windows\\Temp\\x.tmp"));
  EXPECT_TRUE(fs_.exists(L"C:\\Users\\me\\canary.txt"));
  // The clock stands still: the first item's event passes, later ones are throttled, and the
  // final one counts every entry, "recycle:" included.
  EXPECT_THAT(events(), ElementsAre(std::make_tuple("C:\\Users\\me\\junk", 1, 120),
                                    std::make_tuple("", 5, 4125)));
}

TEST_F(DeletionTest, OnlyTheExactPseudoPathEmptiesTheBins) {
  const Reply reply = run({"Recycle:", "recycle:\\", " recycle:"});
  EXPECT_EQ(bin_.emptied, 0);
  EXPECT_THAT(reply.failed, ElementsAre("Recycle:", "recycle:\\", " recycle:"));
}

TEST_F(DeletionTest, RefusesPathsThatAreNotFullyQualifiedOrProtected) {
  const std::vector<std::string> refused = {"",
                                            ".",
                                            "junk",
                                            "Users\\me\\junk",
                                            "C:",
                                            "C:junk",
                                            "\\Users\\me\\junk",
                                            "/Users/me/junk",
                                            "C:\\",
                                            "C:/",
                                            "\\\\?\\C:\\",
                                            "\\\\server\\share\\",
                                            "\\\\server\\share",
                                            "\\\\.\\C:",
                                            "C:\\Windows",
                                            "c:\\WINDOWS\\",
                                            "C:\\Users\\me\\..\\..\\Windows",
                                            "C:/Windows/./",
                                            "C:\\Users",
                                            "C:\\Users\\me",
                                            "C:\\Users\\me\\",
                                            "C:\\Program Files",
                                            "C:\\ProgramData",
                                            "\\\\?\\C:\\Users\\me",
                                            std::string("C:\\Users\\me\\junk") + '\0' + "x"};
  const Reply reply = run(refused);
  EXPECT_EQ(reply.failed, refused);
  EXPECT_EQ(reply.freed, 0);
  EXPECT_TRUE(fs_.exists(L"C:\\Users\\me\\junk\\a.bin"));
  EXPECT_TRUE(fs_.exists(L"C:\\Windows\\system32\\kernel32.dll"));
  EXPECT_TRUE(fs_.exists(L"C:\\Users\\me\\canary.txt"));
}

TEST_F(DeletionTest, EntriesInsideProtectedFoldersStayRemovable) {
  const Reply reply = run({"C:\\Windows\\Temp", "\\\\?\\C:\\Users\\me\\junk\\sub"});
  EXPECT_THAT(reply.failed, IsEmpty());
  EXPECT_EQ(reply.freed, 25);
  EXPECT_FALSE(fs_.exists(L"C:\\Windows\\Temp"));
}

TEST_F(DeletionTest, PartlyRemovedFolderFailsWithWhatWentCredited) {
  fs_.setInUse(L"C:\\Users\\me\\junk\\sub\\b.bin", true);
  const Reply reply = run({"C:\\Users\\me\\junk"});
  EXPECT_THAT(reply.failed, ElementsAre("C:\\Users\\me\\junk"));
  EXPECT_EQ(reply.freed, 100);
  EXPECT_TRUE(fs_.exists(L"C:\\Users\\me\\junk\\sub\\b.bin"));
  EXPECT_FALSE(fs_.exists(L"C:\\Users\\me\\junk\\a.bin"));
}

TEST_F(DeletionTest, ToTrashOutcomes) {
  const struct {
    const char* name;
    bool recycleSucceeds;
    bool recycleMoves;
    int64_t growth;
    bool purgeSucceeds;
    int64_t freed;
    int64_t inTrashBytes;
  } cases[] = {
      {"recycled and purged", true, true, 10, true, 120, 0},
      {"recycled, purge failed", true, true, 10, false, 0, 120},
      {"removed outright (bin did not grow)", true, true, 0, false, 120, 0},
      {"shell failed: removed permanently", false, true, 10, false, 120, 0},
      {"shell left the path: removed permanently", true, false, 10, false, 120, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs_.addFile(L"C:\\Users\\me\\junk\\a.bin", 100);
    fs_.addFile(L"C:\\Users\\me\\junk\\sub\\b.bin", 20);
    bin_.recycleSucceeds = c.recycleSucceeds;
    bin_.recycleMoves = c.recycleMoves;
    bin_.growth = c.growth;
    bin_.purgeSucceeds = c.purgeSucceeds;
    const Reply reply = run({"C:\\Users\\me\\junk"}, /*toTrash=*/true);
    EXPECT_EQ(reply.freed, c.freed);
    EXPECT_EQ(reply.inTrashBytes, c.inTrashBytes);
    EXPECT_EQ(reply.inTrash.size(), c.inTrashBytes > 0 ? 1u : 0u);
    EXPECT_THAT(reply.failed, IsEmpty());
    EXPECT_FALSE(fs_.exists(L"C:\\Users\\me\\junk"));
  }
  EXPECT_EQ(bin_.recycled.size(), std::size(cases));
}

// The shell's answers for emptying, scripted.
class ScriptedShell final : public ShellBinCalls {
 public:
  ScriptedShell(BinQuery query, bool empties) : query_(query), empties_(empties) {}
  BinQuery queryAll() override { return query_; }
  bool emptyAll() override {
    ++emptyCalls;
    return empties_;
  }
  int emptyCalls = 0;

 private:
  BinQuery query_;
  bool empties_;
};

TEST_F(DeletionTest, EmptyingTheBinsFailsOnlyWhenSomethingWasThere) {
  const struct {
    const char* name;
    BinQuery query;
    bool empties;
    int emptyCalls;
    int64_t freed;
    bool failed;
  } cases[] = {
      {"already empty: the shell's error is no failure", {true, 0, 0}, false, 0, 0, false},
      {"items whose emptying fails", {true, 3, 900}, false, 1, 0, true},
      {"items emptied", {true, 3, 900}, true, 1, 900, false},
      {"query failed: the empty call decides", {false, 0, 0}, true, 1, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedShell shell(c.query, c.empties);
    bin_.emptyResult = emptyAllRecycleBins(shell);
    const Reply reply = run({"recycle:"});
    EXPECT_EQ(shell.emptyCalls, c.emptyCalls);
    EXPECT_EQ(reply.freed, c.freed);
    EXPECT_EQ(reply.failed,
              c.failed ? std::vector<std::string>{"recycle:"} : std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace tidvale

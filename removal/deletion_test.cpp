#include "removal/deletion.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "channels/event_sink.h"
#include "core/dispatcher.h"
#include "core/lower_case.h"
#include "core/recording_channels_test_support.h"
#include "fs/fake_file_system.h"
#include "fs/protected_folders.h"
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
  bool purge(const std::wstring&, uint64_t fileId, CheckedRemoval&) override {
    purgedIds.push_back(fileId);
    return purgeSucceeds;
  }

  EmptyBinsResult emptyResult{true, 0};
  bool recycleSucceeds = true;
  bool recycleMoves = true;
  bool purgeSucceeds = true;
  int64_t bytes = 1000;
  int64_t growth = 10;
  int emptied = 0;
  std::vector<std::wstring> recycled;
  std::vector<uint64_t> purgedIds;

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
    return runOn(fs_, entries, toTrash);
  }

  Reply runOn(fs::FakeFileSystem& files, const std::vector<std::string>& entries,
              bool toTrash = false, size_t workers = 1) {
    const DeletionEnvironment environment{
        files,
        bin_,
        guard_,
        fs::protectedIdentities(files, guard_.protectedFolders),
        [](const std::string& text) {
          if (text.find('\0') != std::string::npos) {
            return std::optional<std::wstring>();
          }
          return std::optional<std::wstring>(std::wstring(text.begin(), text.end()));
        },
        workers};
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
      [](std::wstring_view text) { return toLowerUnits(text); }};
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

// When a folder on the way cannot be pinned (another process holds the right to delete it), the
// shell, which reads the path's text, is never handed the item, and a request for the bin never
// turns into a removal for good. Asked to remove it for good, the handles do it.
TEST_F(DeletionTest, AWayThatCannotBePinnedIsNeverHandedToTheShell) {
  fs_.holdDeleteRightElsewhere(L"C:\\Users\\me\\junk");
  Reply reply = run({"C:\\Users\\me\\junk\\a.bin"}, /*toTrash=*/true);
  EXPECT_THAT(reply.failed, ElementsAre("C:\\Users\\me\\junk\\a.bin"));
  EXPECT_THAT(bin_.recycled, IsEmpty());
  EXPECT_TRUE(fs_.exists(L"C:\\Users\\me\\junk\\a.bin"));
  reply = run({"C:\\Users\\me\\junk\\a.bin"});
  EXPECT_THAT(reply.failed, IsEmpty());
  EXPECT_EQ(reply.freed, 100);
}

TEST_F(DeletionTest, OtherNamesOfAProtectedFolderAreRefusedByIdentity) {
  fs_.addFile(L"C:\\ProgramData\\App\\settings.ini", 3);
  fs_.addAlias(L"D:", L"C:");
  fs_.addAlias(L"E:", L"C:\\Users");
  fs_.addAlias(L"UNC\\localhost\\c$", L"C:");
  const std::vector<std::string> refused = {"D:\\Windows",
                                            "d:\\USERS\\Me",
                                            "D:\\Users",
                                            "E:\\me",
                                            "E:\\",
                                            "\\\\localhost\\c$\\Windows",
                                            "\\\\localhost\\c$\\ProgramData",
                                            "\\\\?\\UNC\\localhost\\c$\\Users\\me",
                                            "\\\\localhost\\c$\\",
                                            "D:\\Users\\me\\junk\\..\\..\\me"};
  Reply reply = run(refused);
  EXPECT_EQ(reply.failed, refused);
  EXPECT_EQ(reply.freed, 0);
  EXPECT_TRUE(fs_.exists(L"C:\\Windows\\system32\\kernel32.dll"));
  EXPECT_TRUE(fs_.exists(L"C:\\ProgramData\\App\\settings.ini"));
  EXPECT_TRUE(fs_.exists(L"C:\\Users\\me\\canary.txt"));

  // What lies inside them stays removable under any of their names.
  reply = run({"E:\\me\\junk\\sub", "\\\\localhost\\c$\\ProgramData\\App"});
  EXPECT_THAT(reply.failed, IsEmpty());
  EXPECT_EQ(reply.freed, 23);
  EXPECT_FALSE(fs_.exists(L"C:\\Users\\me\\junk\\sub"));
  EXPECT_FALSE(fs_.exists(L"C:\\ProgramData\\App"));
}

TEST_F(DeletionTest, AFolderHoldingAProtectedOneIsRefusedAndItsOtherEntriesStayRemovable) {
  guard_.protectedFolders.push_back(L"D:\\Data\\Keep");
  fs_.addFile(L"D:\\Data\\Keep\\k.txt", 1);
  fs_.addFile(L"D:\\Data\\Other\\o.txt", 2);
  fs_.addAlias(L"F:", L"D:\\Data");
  Reply reply = run({"D:\\Data", "F:\\", "\\\\?\\D:\\Data", "F:\\Keep"});
  EXPECT_THAT(reply.failed, ElementsAre("D:\\Data", "F:\\", "\\\\?\\D:\\Data", "F:\\Keep"));
  reply = run({"D:\\Data\\Other", "F:\\Keep\\k.txt"});
  EXPECT_THAT(reply.failed, IsEmpty());
  EXPECT_EQ(reply.freed, 3);
  EXPECT_TRUE(fs_.exists(L"D:\\Data\\Keep"));
}

TEST_F(DeletionTest, AFolderThatHoldsAWholeDriveUnderAnotherNameIsRefused) {
  // As Wine's Z: holds the folder that is drive Q:: no text check, and no walk up from Q:'s own
  // names, can see Q:\Windows below Z:\work.
  fs_.addFile(L"Q:\\Windows\\system32\\kernel32.dll", 9);
  fs_.addFile(L"Z:\\work\\notes.txt", 4);
  fs_.addAlias(L"Z:\\work\\prefix\\drive_c", L"Q:");
  guard_.protectedFolders = {L"Q:\\Windows"};
  const Reply reply = run({"Z:\\work", "Z:\\work\\prefix", "Z:\\work\\notes.txt"});
  EXPECT_THAT(reply.failed, ElementsAre("Z:\\work", "Z:\\work\\prefix"));
  EXPECT_EQ(reply.freed, 4);
  EXPECT_TRUE(fs_.exists(L"Q:\\Windows\\system32\\kernel32.dll"));
}

TEST_F(DeletionTest, ALinkBeforeTheLastComponentIsRefusedAtEveryDepth) {
  // base\t\a\b\victim.txt with one of t, a, b a link to base+"keep", which holds the rest of the
  // path: following the link would remove the victim there.
  const std::vector<std::wstring> names = {L"t", L"a", L"b"};
  for (const bool junction : {true, false}) {
    for (size_t depth = 0; depth < names.size(); ++depth) {
      SCOPED_TRACE(::testing::Message() << "junction " << junction << ", depth " << depth);
      const std::wstring base = L"C:\\case" + std::to_wstring(junction) + std::to_wstring(depth);
      std::wstring link = base;
      for (size_t i = 0; i <= depth; ++i) link += L"\\" + names[i];
      std::wstring below;
      for (size_t i = depth + 1; i < names.size(); ++i) below += L"\\" + names[i];
      fs_.addFile(base + L"keep" + below + L"\\victim.txt", 4);
      junction ? fs_.addJunction(link, base + L"keep") : fs_.addSymlink(link, base + L"keep", true);
      const std::wstring target = base + L"\\t\\a\\b\\victim.txt";
      const std::string text(target.begin(), target.end());
      const Reply reply = run({text, "\\\\?\\" + text});
      EXPECT_THAT(reply.failed, ElementsAre(text, "\\\\?\\" + text));
      EXPECT_EQ(reply.freed, 0);
      EXPECT_TRUE(fs_.exists(base + L"keep" + below + L"\\victim.txt"));
    }
  }
}

TEST_F(DeletionTest, AFolderSwappedForALinkAfterResolutionCannotLeadOutside) {
  fs_.addFile(L"C:\\keep\\victim.txt", 9);
  fs_.setLookupHook([this](const std::wstring&, const std::wstring& name) {
    if (name == L"victim.txt") {
      fs_.setLookupHook(nullptr);
      fs_.replaceWithJunction(L"C:\\Users\\me", L"C:\\keep");
    }
  });
  fs_.addFile(L"C:\\Users\\me\\victim.txt", 9);
  Reply reply = run({"C:\\Users\\me\\victim.txt"});
  EXPECT_THAT(reply.failed, IsEmpty());
  EXPECT_EQ(reply.freed, 9);
  EXPECT_TRUE(fs_.exists(L"C:\\keep\\victim.txt"));
}

// Between the resolution and the act, another process changes what a name leads to. Whatever it
// does, nothing outside the named entry is touched, and only what a read through the held
// handles shows gone is credited.
TEST_F(DeletionTest, ChangesBetweenTheCheckAndTheActNeverActElsewhereNorOverCredit) {
  const struct {
    const char* name;
    std::function<void(fs::FakeFileSystem&)> arrange;  // sets the hooks that make the change
    std::vector<std::string> entries;
    int64_t freed;
    std::vector<std::string> failed;
  } cases[] = {
      {"a file swapped for a followed link after its lookup",
       [](fs::FakeFileSystem& files) {
         files.setLookupHook([&files](const std::wstring&, const std::wstring& name) {
           if (name != L"a.bin") return;
           files.setLookupHook(nullptr);
           files.replaceWithFollowedLink(L"C:\\Users\\me\\junk\\a.bin", L"C:\\keep");
         });
       },
       {"C:\\Users\\me\\junk\\a.bin"},
       0,
       {"C:\\Users\\me\\junk\\a.bin"}},
      {"the target swapped for an empty folder while it is being removed",
       [](fs::FakeFileSystem& files) {
         files.addFolder(L"C:\\empty");
         files.setInUse(L"C:\\Users\\me\\junk\\sub\\b.bin", true);
         files.setListingHook([&files](const std::wstring&, const fs::DirEntry& entry) {
           if (entry.name != L"sub" || files.exists(L"C:\\Users\\me\\junk\\a.bin")) return;
           files.setListingHook(nullptr);
           files.replaceWithFollowedLink(L"C:\\Users\\me\\junk", L"C:\\empty");
         });
       },
       {"C:\\Users\\me\\junk"},
       100,
       {"C:\\Users\\me\\junk"}},
      {"an entry that appears right after the walk down missed it",
       [](fs::FakeFileSystem& files) {
         files.setLookupHook([&files](const std::wstring&, const std::wstring& name) {
           if (name != L"late.bin") return;
           files.setLookupHook(nullptr);
           files.addFile(L"C:\\Users\\me\\late.bin", 5);
         });
       },
       {"C:\\Users\\me\\late.bin"},
       0,
       {"C:\\Users\\me\\late.bin"}},
      {"a file that appears in the folder after it was measured stays",
       [](fs::FakeFileSystem& files) {
         files.setListingHook([&files](const std::wstring&, const fs::DirEntry& entry) {
           if (entry.name != L"a.bin") return;
           files.setListingHook(nullptr);
           files.addFile(L"C:\\Users\\me\\junk\\new.bin", 7);
         });
       },
       {"C:\\Users\\me\\junk"},
       120,
       {"C:\\Users\\me\\junk"}},
      {"an entry, then its own folder, in one call",
       [](fs::FakeFileSystem&) {},
       {"C:\\Users\\me\\junk\\sub\\b.bin", "C:\\Users\\me\\junk\\sub", "C:\\Users\\me\\junk"},
       120,
       {}},
      {"the same file twice, and its folder's listing taken in between",
       [](fs::FakeFileSystem&) {},
       {"C:\\Users\\me\\junk\\sub", "C:\\Users\\me\\junk\\a.bin", "C:\\Users\\me\\junk\\a.bin"},
       120,
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::FakeFileSystem files;
    files.addFile(L"C:\\Users\\me\\junk\\a.bin", 100);
    files.addFile(L"C:\\Users\\me\\junk\\sub\\b.bin", 20);
    files.addFile(L"C:\\keep\\k.bin", 9);
    c.arrange(files);
    const Reply reply = runOn(files, c.entries);
    EXPECT_EQ(reply.freed, c.freed);
    EXPECT_EQ(reply.failed, c.failed);
    EXPECT_TRUE(files.exists(L"C:\\keep\\k.bin"));
  }
}

TEST_F(DeletionTest, RefusesTextThatWin32OrTheShellReadsDifferently) {
  const std::vector<std::string> refused = {
      "C:\\Users\\me\\junk\\*",
      "C:\\Users\\me\\*",
      "C:\\Users\\me\\jun?",
      "C:\\Users\\me\\junk\\a.bin:s",
      "C:\\Users\\me\\junk\\a.bin::$DATA",
      "C:\\Users\\me\\junk::$INDEX_ALLOCATION",
      "C:\\Users\\me\\j<nk",
      "C:\\Users\\me\\j>nk",
      "C:\\Users\\me\\j|nk",
      "C:\\Users\\me\\j\"nk",
      "C:\\Users\\me\\junk\\a.bin\x01",
      "\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\Users\\me\\junk",
      "\\\\?\\Volume{0b1c2d3e}\\Users\\me\\junk",
      "\\\\.\\C:\\Users\\me\\junk",
      "//?/C:/Users/me/junk",
      "\\\\?\\C:/Users/me/junk",
      "\\\\?\\C:\\Users\\me\\junk\\.",
      "\\\\?\\C:\\Users\\me\\..\\me\\junk",
      "\\\\?\\C:\\Users\\me\\\\junk",
      "\\\\?\\C:Users\\me\\junk",
      "\\\\?\\UNC\\\\share\\x",
  };
  const Reply reply = run(refused, /*toTrash=*/true);
  EXPECT_EQ(reply.failed, refused);
  EXPECT_EQ(reply.freed, 0);
  EXPECT_THAT(bin_.recycled, IsEmpty());
  EXPECT_TRUE(fs_.exists(L"C:\\Users\\me\\junk\\a.bin"));
}

TEST_F(DeletionTest, ActsOnExactlyTheNamedEntry) {
  fs_.addFile(L"C:\\Users\\me\\abc", 1);
  fs_.addFile(L"C:\\Users\\me\\abc.", 2);
  fs_.addFile(L"C:\\Users\\me\\sp", 4);
  fs_.addFile(L"C:\\Users\\me\\sp ", 8);
  const Reply reply =
      run({"C:\\Users\\me\\abc.", "\\\\?\\C:\\Users\\me\\sp ", "C:/Users/me/junk/."});
  EXPECT_THAT(reply.failed, IsEmpty());
  EXPECT_EQ(reply.freed, 2 + 8 + 120);
  EXPECT_TRUE(fs_.exists(L"C:\\Users\\me\\abc"));
  EXPECT_TRUE(fs_.exists(L"C:\\Users\\me\\sp"));
  EXPECT_FALSE(fs_.exists(L"C:\\Users\\me\\junk"));
}

TEST_F(DeletionTest, TheShellGetsOnlyAPathItReadsExactly) {
  const std::wstring deep = L"C:\\Users\\me\\" + std::wstring(250, L'd') + L"\\f.bin";
  fs_.addFile(deep, 16);
  // The longest path the shell takes is 259 units; its terminator makes 260.
  const std::wstring longest = L"C:\\Users\\me\\" + std::wstring(259 - 12, L'l');
  const std::wstring tooLong = longest + L"x";
  fs_.addFile(longest, 256);
  fs_.addFile(tooLong, 512);
  fs_.addFile(L"C:\\Users\\me\\dot.\\f.bin", 32);
  fs_.addFile(L"C:\\Users\\me\\space \\f.bin", 64);
  fs_.addFile(L"C:\\keep\\k.bin", 128);
  fs_.addJunction(L"C:\\Users\\me\\link", L"C:\\keep");
  const Reply reply = run(
      {std::string(deep.begin(), deep.end()), "C:\\Users\\me\\dot.\\f.bin",
       "C:\\Users\\me\\space \\f.bin", "C:\\Users\\me\\link", "c:/Users/me/./junk/",
       std::string(longest.begin(), longest.end()), std::string(tooLong.begin(), tooLong.end())},
      /*toTrash=*/true);
  // Only the plain paths went to the shell, with the names as listed; the rest went permanently,
  // through the resolver.
  EXPECT_THAT(bin_.recycled, ElementsAre(L"c:\\Users\\me\\junk", longest));
  EXPECT_THAT(reply.failed, IsEmpty());
  EXPECT_EQ(reply.freed, 16 + 32 + 64 + 0 + 120 + 256 + 512);
  EXPECT_FALSE(fs_.exists(tooLong));
  EXPECT_FALSE(fs_.exists(L"C:\\Users\\me\\link"));
  EXPECT_TRUE(fs_.exists(L"C:\\keep\\k.bin"));
}

TEST_F(DeletionTest, ACancelDuringTheRemovalNeverOverCredits) {
  fs_.setInUse(L"C:\\Users\\me\\junk\\sub\\b.bin", true);
  // Cancelled once a.bin has gone: the measure after the failed removal still sees b.bin.
  fs_.setListingHook([&](const std::wstring&, const fs::DirEntry& entry) {
    if (entry.name == L"sub" && !fs_.exists(L"C:\\Users\\me\\junk\\a.bin")) {
      state_.cancelFlag = true;
    }
  });
  const Reply reply = run({"C:\\Users\\me\\junk"});
  EXPECT_THAT(reply.failed, ElementsAre("C:\\Users\\me\\junk"));
  EXPECT_EQ(reply.freed, 100);  // a.bin went; b.bin's 20 bytes stayed
}

TEST_F(DeletionTest, SizesAddWithoutOverflow) {
  constexpr int64_t kMost = std::numeric_limits<int64_t>::max();
  fs_.addFile(L"C:\\Users\\me\\huge\\a", kMost - 1);
  fs_.addFile(L"C:\\Users\\me\\huge\\b", kMost - 1);
  fs_.addFile(L"C:\\Users\\me\\huge\\negative", -50);
  bin_.emptyResult = {true, kMost};
  const Reply reply = run({"C:\\Users\\me\\huge", "recycle:", "C:\\Users\\me\\canary.txt"});
  EXPECT_EQ(reply.freed, kMost);
  EXPECT_THAT(events(), ElementsAre(std::make_tuple("C:\\Users\\me\\huge", 1, kMost),
                                    std::make_tuple("", 3, kMost)));
}

// A seeded random tree below C:\r: folders up to three deep, files of random sizes (some read-only,
// some held open by another process), links to C:\keep, and now and then a folder that may not be
// opened. Removed whole and as separate paths (shuffled, some twice), on one thread and on
// several, and checked against a plain reading of the tree: what stays, what is credited, what
// fails.
struct PlantedFile {
  std::string path;
  int64_t size;
  bool inUse;
  bool underDenied;
};

std::vector<PlantedFile> plantRandomTree(fs::FakeFileSystem& files, uint32_t seed) {
  std::mt19937 random(seed);
  const auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
  files.addFile(L"C:\\keep\\k.bin", 9);
  std::vector<PlantedFile> planted;
  std::vector<std::pair<std::string, bool>> folders{{"C:\\r", false}};  // path, under a denied one
  for (size_t next = 0; next < folders.size(); ++next) {
    const auto [folder, denied] = folders[next];
    const std::wstring wideFolder(folder.begin(), folder.end());
    files.addFolder(wideFolder);
    const int depth = static_cast<int>(std::count(folder.begin(), folder.end(), '\\'));
    for (int i = 0, count = 8 + static_cast<int>(random() % 40); i < count; ++i) {
      const std::string name = "e" + std::to_string(i);
      const std::string path = folder + "\\" + name;
      const std::wstring widePath(path.begin(), path.end());
      if (depth < 4 && chance(10)) {
        folders.emplace_back(path, denied || chance(10));
      } else if (chance(4)) {
        files.addJunction(widePath, L"C:\\keep");
      } else if (chance(4)) {
        files.addSymlink(widePath, L"C:\\keep\\k.bin", /*folderLink=*/false);
      } else {
        const int64_t size = static_cast<int64_t>(random() % 5000);
        files.addFile(widePath, size, 0, chance(10) ? fs::kAttributeReadOnly : 0);
        planted.push_back({path, size, chance(3), denied});
      }
    }
  }
  for (const PlantedFile& file : planted) {
    files.setInUse(std::wstring(file.path.begin(), file.path.end()), file.inUse);
  }
  for (const auto& [folder, denied] : folders) {
    const std::string parent = folder.substr(0, folder.rfind('\\'));
    const bool parentDenied = std::any_of(folders.begin(), folders.end(), [&](const auto& f) {
      return f.first == parent && f.second;
    });
    if (denied && !parentDenied) files.denyAccess(std::wstring(folder.begin(), folder.end()));
  }
  return planted;
}

TEST_F(DeletionTest, RandomTreesRemovedWholeOrByPathAgreeWithThePlainReading) {
  for (uint32_t seed = 1; seed <= 6; ++seed) {
    for (const size_t workers : {1, 3}) {
      SCOPED_TRACE(::testing::Message() << "seed " << seed << ", workers " << workers);
      {  // whole: what stays is what is in use or below a folder that may not be opened
        fs::FakeFileSystem files;
        const std::vector<PlantedFile> planted = plantRandomTree(files, seed);
        int64_t credit = 0;
        bool anyStays = false;
        for (const PlantedFile& file : planted) {
          credit += file.underDenied || file.inUse ? 0 : file.size;
          anyStays = anyStays || file.underDenied || file.inUse;
        }
        const Reply reply = runOn(files, {"C:\\r"}, false, workers);
        EXPECT_EQ(reply.freed, credit);
        EXPECT_EQ(reply.failed,
                  anyStays ? std::vector<std::string>{"C:\\r"} : std::vector<std::string>{});
        for (const PlantedFile& file : planted) {
          EXPECT_EQ(files.exists(std::wstring(file.path.begin(), file.path.end())),
                    file.inUse || file.underDenied)
              << file.path;
        }
        EXPECT_TRUE(files.exists(L"C:\\keep\\k.bin"));
      }
      {  // by path: every removable file goes and is credited once; the rest fail where named
        fs::FakeFileSystem files;
        std::vector<PlantedFile> planted = plantRandomTree(files, seed);
        std::mt19937 random(seed);
        std::shuffle(planted.begin(), planted.end(), random);
        for (size_t i = 0; i < planted.size() / 8; ++i) planted.push_back(planted[i * 3]);
        std::vector<std::string> entries;
        std::vector<std::string> failed;
        std::set<std::string> credited;
        int64_t credit = 0;
        for (const PlantedFile& file : planted) {
          entries.push_back(file.path);
          if (file.inUse || file.underDenied) {
            failed.push_back(file.path);
          } else if (credited.insert(file.path).second) {
            credit += file.size;
          }
        }
        const Reply reply = runOn(files, entries, false, workers);
        EXPECT_EQ(reply.freed, credit);
        EXPECT_EQ(reply.failed, failed);
        for (const PlantedFile& file : planted) {
          EXPECT_EQ(files.exists(std::wstring(file.path.begin(), file.path.end())),
                    file.inUse || file.underDenied)
              << file.path;
        }
      }
    }
  }
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

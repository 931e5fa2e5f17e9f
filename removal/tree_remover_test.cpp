#include "removal/tree_remover.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "fs/fake_file_system.h"

namespace tidvale {
namespace {

using fs::FsError;

// A tree to remove under C:\r, and data outside it that links inside lead to.
class TreeRemoverTest : public ::testing::Test {
 protected:
  void SetUp() override { populate(fs_); }

  static void populate(fs::FakeFileSystem& f) {
    f.addFile(L"C:\\outside\\keep.bin", 100);
    f.addFile(L"C:\\outside\\sub\\deep.bin", 50);
    f.addFile(L"C:\\r\\a.txt", 1);
    f.addFile(L"C:\\r\\sub\\b.txt", 2);
    f.addFile(L"C:\\r\\sub\\inner\\c.txt", 3);
  }

  void expectOutsideIntact() {
    EXPECT_TRUE(fs_.exists(L"C:\\outside\\keep.bin"));
    EXPECT_TRUE(fs_.exists(L"C:\\outside\\sub\\deep.bin"));
  }

  fs::FakeFileSystem fs_;
};

TEST_F(TreeRemoverTest, LinksInsideAreRemovedAsThemselves) {
  fs_.addJunction(L"C:\\r\\junction", L"C:\\outside");
  fs_.addSymlink(L"C:\\r\\sub\\dirlink", L"C:\\outside", /*folderLink=*/true);
  fs_.addSymlink(L"C:\\r\\filelink", L"C:\\outside\\keep.bin", /*folderLink=*/false);
  fs_.addReparsePoint(L"C:\\r\\wsl", 0, /*folder=*/true);        // tag 0: Wine's Linux link
  fs_.addReparsePoint(L"C:\\r\\container", 0xA0000019, true);    // a name surrogate
  fs_.addReparsePoint(L"C:\\r\\placeholder", 0x9000001A, true);  // a cloud placeholder folder

  EXPECT_FALSE(removeTree(fs_, L"C:\\r").failed());

  EXPECT_FALSE(fs_.exists(L"C:\\r"));
  expectOutsideIntact();
}

TEST_F(TreeRemoverTest, ALinkGivenDirectlyGoesAsTheLink) {
  fs_.addJunction(L"C:\\j", L"C:\\outside");
  fs_.addSymlink(L"C:\\s", L"C:\\outside\\sub", true);
  fs_.addSymlink(L"C:\\f", L"C:\\outside\\keep.bin", false);
  for (const wchar_t* link : {L"C:\\j", L"C:\\s", L"C:\\f"}) {
    EXPECT_FALSE(removeTree(fs_, link).failed()) << link;
    EXPECT_FALSE(fs_.exists(link)) << link;
  }
  expectOutsideIntact();
}

// Another process swaps a listed entry for a junction, or for a link that every open follows (as
// Wine's opens follow a Linux link), before the remover opens it: the opened handle is not the
// listed entry, so nothing is done through it, and the removal reports the failure.
TEST_F(TreeRemoverTest, AnEntrySwappedAfterListingIsNeitherEnteredNorRemoved) {
  for (const bool followed : {false, true}) {
    for (const wchar_t* name : {L"sub", L"a.txt"}) {
      SCOPED_TRACE(::testing::Message() << "followed " << followed << ", " << std::wstring(name));
      fs::FakeFileSystem tree;
      populate(tree);
      tree.setListingHook([&](const std::wstring& folder, const fs::DirEntry& entry) {
        if (folder != L"C:\\r" || entry.name != name) return;
        const std::wstring path = L"C:\\r\\" + entry.name;
        followed ? tree.replaceWithFollowedLink(path, L"C:\\outside")
                 : tree.replaceWithJunction(path, L"C:\\outside");
      });
      EXPECT_EQ(removeTree(tree, L"C:\\r").firstError, fs::FsError::Changed);
      EXPECT_TRUE(tree.exists(L"C:\\outside\\keep.bin"));
      EXPECT_TRUE(tree.exists(L"C:\\outside\\sub\\deep.bin"));
      EXPECT_TRUE(tree.exists(L"C:\\r\\" + std::wstring(name)));
    }
  }
}

// The folder being emptied is replaced at its path while it is held: the remover goes on in the
// folder it holds, and what now stands at the path (a junction) is not followed.
TEST_F(TreeRemoverTest, AHeldFolderReplacedAtItsPathKeepsTheRemovalInsideTheTree) {
  fs_.setListingHook([this](const std::wstring& folder, const fs::DirEntry& entry) {
    if (folder == L"C:\\r\\sub" && entry.name == L"inner") {
      fs_.replaceWithJunction(L"C:\\r\\sub", L"C:\\outside");
    }
  });

  const TreeRemoval removal = removeTree(fs_, L"C:\\r");

  expectOutsideIntact();
  EXPECT_TRUE(removal.failed());  // C:\r still holds the junction put there meanwhile
  EXPECT_FALSE(fs_.exists(L"C:\\r\\a.txt"));
}

// Another removal of the same tree still holds something in the folder, marked, and lets it go a
// moment later (here: an entry that appears once the folder's listing is taken, and goes 30 ms
// later): the folder is marked again a little later each time, and goes.
TEST_F(TreeRemoverTest, TheFolderIsMarkedAgainWhenWhatStayedInItGoesAMomentLater) {
  std::thread other;
  fs_.setListingHook([&](const std::wstring& folder, const fs::DirEntry&) {
    if (folder != L"C:\\r\\sub" || other.joinable()) return;
    fs_.addFile(L"C:\\r\\late", 1);
    other = std::thread([this] {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      fs_.erase(L"C:\\r\\late");
    });
  });
  const TreeRemoval removal = removeTree(fs_, L"C:\\r");
  other.join();
  EXPECT_FALSE(removal.failed());
  EXPECT_FALSE(fs_.exists(L"C:\\r"));
}

// A folder of thousands of files, on one thread and on three: more chunks of it than may wait,
// so its lister removes some itself (all of them beyond the bound on one thread). Only the file
// in use stays.
TEST_F(TreeRemoverTest, AFolderOfThousandsOfFilesGoesWhateverTheThreads) {
  constexpr int kFiles = 2400;
  const auto file = [](int i) { return L"C:\\r\\flat\\f" + std::to_wstring(i); };
  for (const size_t workers : {1, 3}) {
    SCOPED_TRACE(::testing::Message() << workers << " workers");
    fs::FakeFileSystem tree;
    populate(tree);
    for (int i = 0; i < kFiles; ++i) tree.addFile(file(i), 1);
    tree.setInUse(file(1234), true);
    // On one thread nothing else removes: by the listing's last entry, the lister has removed
    // what went beyond the bound itself.
    int listed = 0;
    int goneWhileListing = 0;
    tree.setListingHook([&](const std::wstring& folder, const fs::DirEntry&) {
      if (folder != L"C:\\r\\flat" || ++listed < kFiles) return;
      for (int i = 0; i < kFiles; ++i) goneWhileListing += tree.exists(file(i)) ? 0 : 1;
    });
    fs::Hold root = tree.holdFolder(L"C:\\r");
    ASSERT_EQ(root.outcome, fs::HoldOutcome::Held);
    TaskPool pool(workers);
    EXPECT_EQ(removeHeldTree(*root.folder, nullptr, &pool).firstError, FsError::InUse);
    root.folder.reset();
    int left = 0;
    for (int i = 0; i < kFiles; ++i) left += tree.exists(file(i)) ? 1 : 0;
    EXPECT_EQ(left, 1);
    if (workers == 1) {
      EXPECT_GT(goneWhileListing, 0);
    }
    EXPECT_TRUE(tree.exists(file(1234)));
    EXPECT_FALSE(tree.exists(L"C:\\r\\sub"));
    EXPECT_TRUE(tree.exists(L"C:\\outside\\sub\\deep.bin"));
  }
}

TEST_F(TreeRemoverTest, GoesOnPastWhatCannotBeRemoved) {
  const struct {
    const char* name;
    void (*prepare)(fs::FakeFileSystem&);
    const wchar_t* remains;
    FsError error;
  } cases[] = {
      {"file in use", [](fs::FakeFileSystem& f) { f.setInUse(L"C:\\r\\sub\\b.txt", true); },
       L"C:\\r\\sub\\b.txt", FsError::InUse},
      {"denied folder", [](fs::FakeFileSystem& f) { f.denyAccess(L"C:\\r\\sub\\inner"); },
       L"C:\\r\\sub\\inner\\c.txt", FsError::AccessDenied},
      {"broken listing", [](fs::FakeFileSystem& f) { f.failListingAfter(L"C:\\r\\sub", 1); },
       L"C:\\r\\sub", FsError::Other},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::FakeFileSystem tree;
    populate(tree);
    c.prepare(tree);
    const TreeRemoval removal = removeTree(tree, L"C:\\r");
    EXPECT_EQ(removal.firstError, c.error);
    EXPECT_TRUE(tree.exists(c.remains));
    EXPECT_FALSE(tree.exists(L"C:\\r\\a.txt"));
  }
}

TEST_F(TreeRemoverTest, ReadOnlyHiddenAndSystemEntriesGoToo) {
  fs_.addFile(L"C:\\r\\ro.txt", 1, 0, fs::kAttributeReadOnly);
  fs_.addFile(L"C:\\r\\sub\\hs.txt", 1, 0, fs::kAttributeHidden | fs::kAttributeSystem);
  fs_.addFolder(L"C:\\r\\rodir", fs::kAttributeReadOnly);
  EXPECT_FALSE(removeTree(fs_, L"C:\\r").failed());
  EXPECT_FALSE(fs_.exists(L"C:\\r"));
}

TEST_F(TreeRemoverTest, NothingToRemoveIsNoFailure) {
  EXPECT_FALSE(removeTree(fs_, L"C:\\missing\\x").failed());
  EXPECT_FALSE(removeTree(fs_, L"C:\\r\\a.txt").failed());
  EXPECT_FALSE(fs_.exists(L"C:\\r\\a.txt"));
  EXPECT_TRUE(fs_.exists(L"C:\\r\\sub"));
}

}  // namespace
}  // namespace tidvale

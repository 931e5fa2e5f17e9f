#include "fs/path_resolver.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fs/fake_file_system.h"
#include "fs/protected_folders.h"

namespace tidvale::fs {
namespace {

using ::testing::ElementsAreArray;

TEST(ReadTargetText, SplitsWhatWin32ReadsAndRefusesTheRest) {
  struct Case {
    const wchar_t* path;
    const wchar_t* root;  // null: refused
    std::vector<std::wstring> components;
  };
  const Case cases[] = {
      {L"C:\\a\\b", L"\\\\?\\C:\\", {L"a", L"b"}},
      {L"c:/a//b/./c/../d/", L"\\\\?\\c:\\", {L"a", L"b", L"d"}},
      {L"C:\\a.\\b ", L"\\\\?\\C:\\", {L"a.", L"b "}},
      {L"C:\\..\\..\\x", L"\\\\?\\C:\\", {L"x"}},
      {L"C:\\", L"\\\\?\\C:\\", {}},
      {L"\\\\?\\C:\\a\\b.", L"\\\\?\\C:\\", {L"a", L"b."}},
      {L"\\\\?\\C:", L"\\\\?\\C:\\", {}},
      {L"\\\\server\\share\\x\\y", L"\\\\?\\UNC\\server\\share\\", {L"x", L"y"}},
      {L"//server/share/x", L"\\\\?\\UNC\\server\\share\\", {L"x"}},
      {L"\\\\?\\UNC\\localhost\\c$\\ProgramData", L"\\\\?\\UNC\\localhost\\c$\\", {L"ProgramData"}},
      {L"\\\\?\\C:\\a\\", L"\\\\?\\C:\\", {L"a"}},
      // Refused: not fully qualified, other device paths, reserved text, streams, "." and ".."
      // or '/' after the "\\?\" prefix.
      {L"", nullptr, {}},
      {L"a\\b", nullptr, {}},
      {L"C:a", nullptr, {}},
      {L"\\a", nullptr, {}},
      {L"\\\\server", nullptr, {}},
      {L"\\\\.\\C:\\a", nullptr, {}},
      {L"\\\\?\\GLOBALROOT\\Device\\x", nullptr, {}},
      {L"\\\\?\\Volume{1}\\x", nullptr, {}},
      {L"\\\\?\\UNC\\server", nullptr, {}},
      {L"\\\\?\\UNC\\\\share\\x", nullptr, {}},
      {L"//?/C:/a", nullptr, {}},
      {L"\\\\?\\C:/a", nullptr, {}},
      {L"\\\\?\\C:\\a\\.", nullptr, {}},
      {L"\\\\?\\C:\\a\\..\\b", nullptr, {}},
      {L"\\\\?\\C:\\a\\\\b", nullptr, {}},
      {L"\\\\?\\C:a", nullptr, {}},
      {L"C:\\a*", nullptr, {}},
      {L"C:\\a?b", nullptr, {}},
      {L"C:\\a\"b", nullptr, {}},
      {L"C:\\a<b", nullptr, {}},
      {L"C:\\a>b", nullptr, {}},
      {L"C:\\a|b", nullptr, {}},
      {L"C:\\a:s", nullptr, {}},
      {L"C:\\a::$INDEX_ALLOCATION", nullptr, {}},
      {L"C:\\a\tb", nullptr, {}},
      {L"\\\\serv*er\\share\\x", nullptr, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "case of " << std::wstring(c.path).size() << " units");
    const std::optional<TargetText> text = readTargetText(c.path);
    if (!c.root) {
      EXPECT_FALSE(text.has_value());
      continue;
    }
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->root, c.root);
    EXPECT_THAT(text->components, ElementsAreArray(c.components));
  }
  EXPECT_FALSE(readTargetText(std::wstring(L"C:\\a\0b", 6)).has_value());
}

TEST(ProtectedIdentities, EveryNameOfAProtectedFolderAndItsHoldersShareOneIdentity) {
  FakeFileSystem files;
  files.addFolder(L"C:\\Users\\me\\Documents");
  files.addFolder(L"C:\\Users\\other");
  files.addAlias(L"D:", L"C:\\Users");
  files.addJunction(L"C:\\docs", L"C:\\Users\\me\\Documents");
  const std::set<FileId> ids = protectedIdentities(files, {L"C:\\docs", L"", L"C:\\missing"});
  EXPECT_EQ(ids.size(), 4u);  // C:, Users, me, Documents

  PathResolver resolver(files, ids);
  for (const wchar_t* path : {L"D:\\me", L"d:\\ME\\documents", L"C:\\Users", L"C:\\"}) {
    EXPECT_EQ(resolver.resolve(path).refusal, Refusal::Protected) << path;
  }
  const ResolvedEntry other = resolver.resolve(L"D:\\other");
  ASSERT_TRUE(other.found());
  EXPECT_EQ(other.listed.name, L"other");
  EXPECT_NE(other.folder, nullptr);
  // The junction itself is no protected folder: it would go as itself.
  const ResolvedEntry link = resolver.resolve(L"C:\\docs");
  ASSERT_TRUE(link.found());
  EXPECT_EQ(link.folder, nullptr);
}

TEST(PathResolver, PinsTheFoldersItResolvedThroughUntilTheWayChanges) {
  FakeFileSystem files;
  files.addFile(L"C:\\t\\a\\one", 1);
  files.addFile(L"C:\\t\\a\\two", 2);
  files.addFile(L"C:\\elsewhere\\two", 3);
  files.addFile(L"D:\\t\\a\\three", 4);
  PathResolver resolver(files, {}, /*pinTheWay=*/true);
  {
    const ResolvedEntry first = resolver.resolve(L"c:\\T\\a\\one");
    ASSERT_TRUE(first.found());
    EXPECT_TRUE(first.pinned);
    EXPECT_EQ(first.path, L"\\\\?\\c:\\t\\a\\one");  // the names as listed
  }
  // Nobody can move or replace a folder on the way while it is kept.
  EXPECT_FALSE(files.replaceWithJunction(L"C:\\t\\a", L"C:\\elsewhere"));
  EXPECT_FALSE(files.erase(L"C:\\t"));
  EXPECT_EQ(resolver.resolve(L"C:\\t\\a\\two").listed.size, 2);
  // Another volume: the last one's folders are let go, and the path lands on its own drive.
  EXPECT_EQ(resolver.resolve(L"D:\\t\\a\\three").listed.size, 4);
  EXPECT_TRUE(files.replaceWithJunction(L"C:\\t\\a", L"C:\\elsewhere"));
  EXPECT_EQ(resolver.resolve(L"C:\\t\\a\\two").refusal, Refusal::LinkOnTheWay);
  EXPECT_EQ(resolver.resolve(L"C:\\t\\missing\\x").outcome, ResolveOutcome::Missing);
  EXPECT_EQ(resolver.resolve(L"C:\\t\\a").outcome, ResolveOutcome::Found);
  // A folder given as a target after an entry inside it is no longer kept pinned by the resolver.
  resolver.release();
  ASSERT_TRUE(resolver.resolve(L"D:\\t\\a\\three").found());
  EXPECT_TRUE(resolver.resolve(L"D:\\t\\a").found());
  EXPECT_TRUE(files.erase(L"D:\\t\\a"));
}

// A name swapped between its lookup and its open leads to another file: the open's id check
// refuses it, wherever on the way it stands, and nothing is held through it.
TEST(PathResolver, ANameThatLeadsElsewhereSinceItsLookupIsRefused) {
  for (const auto& [swappedName, pin] : {std::pair{L"t", false}, std::pair{L"a", true},
                                         std::pair{L"a", false}, std::pair{L"target", true}}) {
    const std::wstring swapped = swappedName;
    SCOPED_TRACE(::testing::Message() << swapped << ", pinned " << pin);
    FakeFileSystem files;
    files.addFile(L"C:\\t\\a\\target\\f", 1);
    files.addFile(L"C:\\canary\\f", 2);
    files.setLookupHook([&](const std::wstring&, const std::wstring& name) {
      if (name != swapped) return;
      files.setLookupHook(nullptr);
      const std::wstring path = name == L"t"   ? L"C:\\t"
                                : name == L"a" ? L"C:\\t\\a"
                                               : L"C:\\t\\a\\target";
      files.replaceWithFollowedLink(path, L"C:\\canary");
    });
    PathResolver resolver(files, {}, pin);
    const ResolvedEntry entry = resolver.resolve(L"C:\\t\\a\\target");
    EXPECT_EQ(entry.outcome, ResolveOutcome::Refused);
    EXPECT_EQ(entry.folder, nullptr);
  }
}

}  // namespace
}  // namespace tidvale::fs

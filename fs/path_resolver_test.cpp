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

TEST(PathResolver, KeepsHoldingTheFoldersItResolvedThrough) {
  FakeFileSystem files;
  files.addFile(L"C:\\t\\a\\one", 1);
  files.addFile(L"C:\\t\\a\\two", 2);
  files.addFile(L"C:\\elsewhere\\two", 3);
  PathResolver resolver(files, {});
  ASSERT_TRUE(resolver.resolve(L"C:\\t\\a\\one").found());
  // Moved away and replaced by a link after the first item: the held folder is still the one
  // that was checked, and the link is never gone through.
  files.replaceWithJunction(L"C:\\t\\a", L"C:\\elsewhere");
  const ResolvedEntry second = resolver.resolve(L"C:\\t\\a\\two");
  ASSERT_TRUE(second.found());
  EXPECT_EQ(second.listed.size, 2);
  resolver.release();
  EXPECT_EQ(resolver.resolve(L"C:\\t\\a\\two").refusal, Refusal::LinkOnTheWay);
  EXPECT_EQ(resolver.resolve(L"C:\\t\\missing\\x").outcome, ResolveOutcome::Missing);
  EXPECT_EQ(resolver.resolve(L"C:\\t\\a").outcome, ResolveOutcome::Found);
}

}  // namespace
}  // namespace tidvale::fs

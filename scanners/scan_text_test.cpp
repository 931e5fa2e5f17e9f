#include "scanners/scan_text.h"

#include <gtest/gtest.h>

#include "scanners/storage_test_support.h"

namespace tidvale {
namespace {

using testing::asciiUtf8;

TEST(ScanTextTest, ExtensionOfAFileName) {
  const struct {
    const wchar_t* path;
    const wchar_t* extension;
  } cases[] = {
      {L"C:\\v\\Movie.MKV", L"mkv"},
      {L"C:\\v\\backup.tar.gz", L"gz"},
      {L"C:\\v\\a.b.c", L"c"},
      {L"C:\\v\\README", L""},
      {L"C:\\v\\.gitignore", L""},
      {L"C:\\v\\name.", L""},
      {L"C:\\v\\x", L""},
      {L"C:\\v\\.", L""},
      {L"C:\\v\\..", L""},
      {L"C:\\dotted.dir\\plain", L""},
      {L"C:/forward/Photo.JPG", L"jpg"},
      {L"C:\\v\\notes.TXT:Zone.Identifier", L"txt"},
      {L"C:\\v\\plain:stream.dat", L""},
      {L"bare.Ext", L"ext"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(lowerExtensionOf(c.path), c.extension) << asciiUtf8(c.path);
  }
  EXPECT_EQ(fileNameOf(L"C:\\v\\Movie.MKV"), L"Movie.MKV");
  EXPECT_EQ(fileNameOf(L"C:/a\\b/c.txt"), L"c.txt");
  EXPECT_EQ(fileNameOf(L"plain"), L"plain");
}

TEST(ScanTextTest, PathsCompareComponentByComponent) {
  const struct {
    const wchar_t* smaller;
    const wchar_t* larger;
  } ordered[] = {
      {L"C:\\a\\b", L"C:\\a b\\c"},  // by components; as text '\' would follow ' '
      {L"C:\\a", L"C:\\a\\b"},
      {L"C:\\B", L"C:\\a"},  // case-sensitive, by code unit
      {L"C:\\z", L"D:\\a"},
      {L"C:a", L"C:\\a"},  // without a root directory first
      {L"C:\\a\\x\\1", L"C:\\a\\x-1"},  // as text '-' would come first
  };
  for (const auto& c : ordered) {
    EXPECT_LT(comparePaths(c.smaller, c.larger), 0) << asciiUtf8(c.smaller);
    EXPECT_GT(comparePaths(c.larger, c.smaller), 0) << asciiUtf8(c.larger);
  }
  EXPECT_EQ(comparePaths(L"C:\\a\\b", L"C:/a//b"), 0);
  EXPECT_EQ(comparePaths(L"C:\\a\\b", L"C:\\a\\b"), 0);
}

}  // namespace
}  // namespace tidvale

#include "scanners/junk_catalogue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "service/lower_case.h"

namespace tidvale {
namespace {

using ::testing::ElementsAre;

const JunkBases kBases{
    L"C:\\Users\\Me\\AppData\\Local",
    L"C:\\Users\\Me\\AppData\\Roaming",
    L"D:\\Win",
    L"C:\\ProgramData",
    L"C:\\Users\\Me",
    L"C:\\Users\\Me\\AppData\\Local\\Temp",
};

const JunkCategory& categoryOf(const JunkCatalogue& catalogue, const std::string& id) {
  for (const JunkCategory& category : catalogue.categories) {
    if (category.id == id) return category;
  }
  static const JunkCategory none;
  ADD_FAILURE() << "no category " << id;
  return none;
}

TEST(JunkCatalogueTest, CategoriesInReplyOrderWithTheirListingRule) {
  const JunkCatalogue catalogue = buildJunkCatalogue(kBases, {});
  std::vector<std::pair<std::string, bool>> rows;
  for (const JunkCategory& category : catalogue.categories) {
    rows.emplace_back(category.id, category.listChildren);
  }
  EXPECT_THAT(rows, ElementsAre(std::pair{"temp", true}, std::pair{"userCache", false},
                                std::pair{"userLogs", true}, std::pair{"systemCache", false},
                                std::pair{"trash", false}, std::pair{"developer", false},
                                std::pair{"browsers", false}, std::pair{"crashReports", true},
                                std::pair{"thumbnails", false}, std::pair{"windowsOld", false}));
}

TEST(JunkCatalogueTest, PathsAreBasesWithSuffixesAppended) {
  const JunkCatalogue catalogue =
      buildJunkCatalogue(kBases, {L"C:\\Users\\Me\\AppData\\Local\\Mozilla\\Firefox\\Profiles\\a",
                                  L"C:\\Users\\Me\\AppData\\Local\\Mozilla\\Firefox\\Profiles\\b"});

  EXPECT_THAT(categoryOf(catalogue, "temp").paths,
              ElementsAre(L"C:\\Users\\Me\\AppData\\Local\\Temp", L"D:\\Win\\Temp"));
  EXPECT_THAT(categoryOf(catalogue, "trash").paths, ElementsAre(L"recycle:"));
  EXPECT_THAT(categoryOf(catalogue, "windowsOld").paths, ElementsAre(L"D:\\Windows.old"));
  EXPECT_THAT(
      categoryOf(catalogue, "thumbnails").paths,
      ElementsAre(L"C:\\Users\\Me\\AppData\\Local\\Microsoft\\Windows\\Explorer\\thumbcache_"));

  const auto& browsers = categoryOf(catalogue, "browsers").paths;
  ASSERT_EQ(browsers.size(), 14u);
  EXPECT_EQ(browsers[0],
            L"C:\\Users\\Me\\AppData\\Local\\Google\\Chrome\\User Data\\Default\\Cache");
  EXPECT_EQ(browsers[11], L"C:\\Users\\Me\\AppData\\Local\\Microsoft\\Windows\\INetCookies");
  EXPECT_EQ(browsers[12], L"C:\\Users\\Me\\AppData\\Local\\Mozilla\\Firefox\\Profiles\\a\\cache2");
  EXPECT_EQ(browsers[13], L"C:\\Users\\Me\\AppData\\Local\\Mozilla\\Firefox\\Profiles\\b\\cache2");

  const auto& developer = categoryOf(catalogue, "developer").paths;
  ASSERT_EQ(developer.size(), 17u);
  EXPECT_EQ(developer[1], L"C:\\Users\\Me\\AppData\\Roaming\\npm-cache");
  EXPECT_EQ(developer[6], L"C:\\Users\\Me\\.gradle\\caches");
  EXPECT_EQ(developer[16], L"C:\\Users\\Me\\.cache");

  EXPECT_EQ(categoryOf(catalogue, "userCache").paths.size(), 8u);
  EXPECT_EQ(categoryOf(catalogue, "userLogs").paths.size(), 6u);
  EXPECT_EQ(categoryOf(catalogue, "systemCache").paths.back(),
            L"C:\\ProgramData\\Microsoft\\Windows Defender\\Scans\\History");
  EXPECT_EQ(categoryOf(catalogue, "crashReports").paths.back(),
            L"C:\\ProgramData\\Microsoft\\Windows\\WER\\ReportQueue");
}

TEST(JunkCatalogueTest, UnresolvedBasesLeaveBareSuffixes) {
  const JunkCatalogue catalogue = buildJunkCatalogue(JunkBases{}, {});
  EXPECT_THAT(categoryOf(catalogue, "temp").paths, ElementsAre(L"", L"\\Temp"));
  EXPECT_THAT(categoryOf(catalogue, "windowsOld").paths, ElementsAre(L"Windows.old"));
  EXPECT_EQ(categoryOf(catalogue, "userCache").paths[1], L"\\D3DSCache");
}

TEST(JunkCatalogueTest, KnownPathsAreEveryPathLowerCasedInOrder) {
  const JunkCatalogue catalogue = buildJunkCatalogue(kBases, {L"C:\\P\\X"});
  std::vector<std::wstring> expected;
  for (const JunkCategory& category : catalogue.categories) {
    for (const std::wstring& path : category.paths) expected.push_back(toLowerUnits(path));
  }
  EXPECT_EQ(catalogue.knownPaths, expected);
  EXPECT_EQ(catalogue.knownPaths.size(), 2u + 8 + 6 + 5 + 1 + 17 + 13 + 4 + 1 + 1);
  EXPECT_EQ(catalogue.knownPaths.front(), L"c:\\users\\me\\appdata\\local\\temp");
  EXPECT_EQ(catalogue.knownPaths[2u + 8 + 6 + 5 + 1 + 17 + 12], L"c:\\p\\x\\cache2");
}

TEST(JunkCatalogueTest, OverlapRuleKeepsChildrenForTheEntryThatNamesThem) {
  const JunkCatalogue catalogue = buildJunkCatalogue(kBases, {});
  const std::wstring local = kBases.localAppData;
  const std::wstring temp = kBases.temp;
  const std::wstring wer = local + L"\\Microsoft\\Windows\\WER";
  const std::wstring programWer = L"C:\\ProgramData\\Microsoft\\Windows\\WER";

  const struct {
    std::wstring child;
    std::wstring root;
    bool covered;
  } cases[] = {
      {temp + L"\\VSFeedbackIntelliCodeLogs", temp, true},
      {temp + L"\\vsfeedbackintellicodelogs", temp, true},  // case is ignored
      {temp + L"\\VSFeedback", temp, false},                // a prefix of a name is not a folder
      {temp + L"\\VSFeedbackIntelliCodeLogs2", temp, false},
      {temp + L"\\setup.log", temp, false},
      {wer + L"\\ReportArchive", wer, true},
      {wer + L"\\ReportQueue", wer, true},
      {wer + L"\\Temp", wer, false},
      {programWer + L"\\ReportQueue", programWer, true},
      {programWer + L"\\ReportArchive", programWer, false},
      {L"D:\\Win\\Temp\\x.tmp", L"D:\\Win\\Temp", false},
      // A folder that holds another catalogue path, whatever separators the path uses.
      {local + L"\\Microsoft", temp, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(coveredElsewhere(catalogue.knownPaths, c.child, c.root), c.covered) << c.child;
  }

  const std::vector<std::wstring> slashed{L"c:\\a\\b/c", L"c:\\root"};
  EXPECT_TRUE(coveredElsewhere(slashed, L"C:\\A\\B", L"C:\\A"));
  EXPECT_FALSE(coveredElsewhere(slashed, L"C:\\Root", L"C:\\Root")) << "the root never covers";
}

}  // namespace
}  // namespace tidvale

#include "scanners/junk_catalogue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
  const std::wstring profiles = L"C:\\Users\\Me\\AppData\\Local\\Mozilla\\Firefox\\Profiles\\";
  const JunkCatalogue catalogue = buildJunkCatalogue(kBases, {profiles + L"a", profiles + L"b"});

  EXPECT_THAT(categoryOf(catalogue, "temp").paths,
              ElementsAre(L"C:\\Users\\Me\\AppData\\Local\\Temp", L"D:\\Win\\Temp"));
  EXPECT_THAT(categoryOf(catalogue, "trash").paths, ElementsAre(L"recycle:"));
  EXPECT_THAT(categoryOf(catalogue, "windowsOld").paths, ElementsAre(L"D:\\Windows.old"));
  const auto& browsers = categoryOf(catalogue, "browsers").paths;
  ASSERT_GE(browsers.size(), 2u);
  EXPECT_EQ(browsers[browsers.size() - 2], profiles + L"a\\cache2");
  EXPECT_EQ(browsers.back(), profiles + L"b\\cache2");
  EXPECT_EQ(categoryOf(catalogue, "developer").paths[6], L"C:\\Users\\Me\\.gradle\\caches");

  // Every path, lower-cased, in catalogue order.
  ASSERT_FALSE(catalogue.knownPaths.empty());
  EXPECT_EQ(catalogue.knownPaths.front(), L"c:\\users\\me\\appdata\\local\\temp");
  EXPECT_EQ(catalogue.knownPaths.back(), L"d:\\windows.old");
  size_t total = 0;
  for (const JunkCategory& category : catalogue.categories) total += category.paths.size();
  EXPECT_EQ(catalogue.knownPaths.size(), total);

  // A base that could not be read leaves the bare suffix.
  const JunkCatalogue bare = buildJunkCatalogue(JunkBases{}, {});
  EXPECT_THAT(categoryOf(bare, "temp").paths, ElementsAre(L"", L"\\Temp"));
  EXPECT_THAT(categoryOf(bare, "windowsOld").paths, ElementsAre(L"Windows.old"));
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

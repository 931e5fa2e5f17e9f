#include "system/summary_figures.h"

#include <gtest/gtest.h>

namespace tidvale::system {
namespace {

TEST(SummaryFigures, EditionFollowsTheBuildNumberAlone) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0, "Windows 10"},  // version unknown
      {21999, "Windows 10"},
      {22000, "Windows 11"},
      {UINT32_MAX, "Windows 11"},
  };
  for (const auto& [build, edition] : cases) EXPECT_EQ(editionName(build), edition) << build;
}

TEST(SummaryFigures, OnlyArchitectureCode12IsArm64) {
  // 0 x86, 5 ARM, 6 Itanium, 9 x64, 12 ARM64, 0xFFFF unknown.
  const std::pair<uint16_t, const char*> cases[] = {
      {0, "x86_64"}, {5, "x86_64"}, {6, "x86_64"}, {9, "x86_64"}, {12, "arm64"}, {0xFFFF, "x86_64"},
  };
  for (const auto& [code, name] : cases) EXPECT_EQ(architectureName(code), name) << code;
}

TEST(SummaryFigures, OnlyFixedAndRemovableDrivesAreShown) {
  // 0 unknown, 1 no root, 2 removable, 3 fixed, 4 network, 5 optical, 6 RAM disk.
  const bool shown[] = {false, false, true, true, false, false, false};
  for (unsigned type = 0; type < std::size(shown); ++type) {
    EXPECT_EQ(isShownDriveType(type), shown[type]) << type;
  }
}

TEST(SummaryFigures, DiskNamesUseTheLabelOrTheDriveKind) {
  const struct {
    std::string label;
    char letter;
    bool removable;
    const char* name;
  } cases[] = {
      {"", 'D', false, "Local Disk (D:)"},
      {"", 'E', true, "Removable Disk (E:)"},
      {"Data", 'D', false, "Data (D:)"},
      {"\xc3\xa9t\xc3\xa9", 'G', true, "\xc3\xa9t\xc3\xa9 (G:)"},
  };
  for (const auto& c : cases) EXPECT_EQ(diskName(c.label, c.letter, c.removable), c.name);
}

TEST(SummaryFigures, SystemDriveComparesLettersIgnoringCase) {
  EXPECT_TRUE(isSystemDrive('C', L'c'));
  EXPECT_TRUE(isSystemDrive('D', L'D'));
  EXPECT_FALSE(isSystemDrive('D', L'C'));
  EXPECT_FALSE(isSystemDrive('C', 0));  // Windows directory unknown
}

}  // namespace
}  // namespace tidvale::system

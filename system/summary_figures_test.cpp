#include "system/summary_figures.h"

#include <gtest/gtest.h>

#include <climits>

namespace tidvale::system {
namespace {

const EncodableValue& at(const EncodableMap& map, const char* key) {
  return map.at(EncodableValue(key));
}

TEST(SummaryFigures, EditionFollowsTheBuildNumberAlone) {
  const struct {
    uint32_t build;
    const char* edition;
  } cases[] = {
      {0, "Windows 10"},           // RtlGetVersion missing
      {18362, "Windows 10"},       // Windows 10 1903
      {21999, "Windows 10"},       // last build before Windows 11
      {22000, "Windows 11"},       // first Windows 11 build
      {22631, "Windows 11"},       // 23H2
      {UINT32_MAX, "Windows 11"},  // unsigned comparison throughout
  };
  for (const auto& c : cases) EXPECT_EQ(editionName(c.build), c.edition) << c.build;
}

TEST(SummaryFigures, VersionIsPlainUnsignedDecimal) {
  EXPECT_EQ(versionText({10, 0, 22631}), "10.0.22631");
  EXPECT_EQ(versionText({0, 0, 0}), "0.0.0");
  EXPECT_EQ(versionText({6, 3, 9600}), "6.3.9600");
  EXPECT_EQ(versionText({UINT32_MAX, 1, 2}), "4294967295.1.2");
}

TEST(SummaryFigures, OnlyArchitectureCode12IsArm64) {
  const struct {
    uint16_t code;
    const char* name;
  } cases[] = {
      {0, "x86_64"},       // 32-bit x86
      {5, "x86_64"},       // 32-bit ARM
      {6, "x86_64"},       // Itanium
      {9, "x86_64"},       // x64
      {12, "arm64"},       // ARM64
      {0xFFFF, "x86_64"},  // unknown
  };
  for (const auto& c : cases) EXPECT_EQ(architectureName(c.code), c.name) << c.code;
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
      {"USB STICK", 'F', true, "USB STICK (F:)"},
      {"Sauvegarde \xc3\xa9t\xc3\xa9", 'G', false, "Sauvegarde \xc3\xa9t\xc3\xa9 (G:)"},
      {" ", 'C', false, "  (C:)"},  // a blank label is still a label
  };
  for (const auto& c : cases) EXPECT_EQ(diskName(c.label, c.letter, c.removable), c.name);
}

TEST(SummaryFigures, SystemDriveComparesLettersIgnoringCase) {
  EXPECT_TRUE(isSystemDrive('C', L'C'));
  EXPECT_TRUE(isSystemDrive('C', L'c'));
  EXPECT_TRUE(isSystemDrive('D', L'd'));
  EXPECT_FALSE(isSystemDrive('D', L'C'));
  EXPECT_FALSE(isSystemDrive('C', 0));  // Windows directory unknown
}

// Values of different integer widths never compare equal, so these checks cover the widths.
TEST(SummaryFigures, DiskMapCarriesRootSpaceAndFlags) {
  const EncodableMap disk = diskMap({'E', "", true, 64'000'000'000, 1'000'000'000, false});
  EXPECT_EQ(disk.size(), 7u);
  EXPECT_EQ(at(disk, "name"), EncodableValue("Removable Disk (E:)"));
  EXPECT_EQ(at(disk, "path"), EncodableValue("E:\\"));
  EXPECT_EQ(at(disk, "total"), EncodableValue(int64_t{64'000'000'000}));
  EXPECT_EQ(at(disk, "free"), EncodableValue(int64_t{1'000'000'000}));
  EXPECT_EQ(at(disk, "used"), EncodableValue(int64_t{63'000'000'000}));
  EXPECT_EQ(at(disk, "isSystem"), EncodableValue(false));
  EXPECT_EQ(at(disk, "isRemovable"), EncodableValue(true));
}

TEST(SummaryFigures, SummaryMapWidthsUptimeAndDiskOrder) {
  SummaryFigures figures;
  figures.version = {10, 0, 22000};
  figures.architecture = 9;
  figures.cores = 8;
  figures.memTotal = 16LL << 30;
  figures.memUsed = 5LL << 30;
  figures.uptimeMilliseconds = 3'600'999;  // whole seconds, rounded down
  figures.disks = {{'C', "", false, 100, 40, true}, {'D', "Data", false, 50, 50, false}};
  const EncodableMap summary = summaryMap(figures);

  EXPECT_EQ(summary.size(), 12u);
  EXPECT_EQ(at(summary, "os"), EncodableValue("Windows 11"));
  EXPECT_EQ(at(summary, "osVersion"), EncodableValue("10.0.22000"));
  EXPECT_EQ(at(summary, "arch"), EncodableValue("x86_64"));
  EXPECT_EQ(at(summary, "cores"), EncodableValue(int32_t{8}));
  EXPECT_EQ(at(summary, "uptime"), EncodableValue(int64_t{3600}));
  EXPECT_EQ(at(summary, "memTotal"), EncodableValue(int64_t{16LL << 30}));
  EXPECT_EQ(at(summary, "memUsed"), EncodableValue(int64_t{5LL << 30}));
  const auto& disks = std::get<EncodableList>(at(summary, "disks"));
  ASSERT_EQ(disks.size(), 2u);
  EXPECT_EQ(std::get<EncodableMap>(disks[0]).at(EncodableValue("name")),
            EncodableValue("Local Disk (C:)"));
  EXPECT_EQ(std::get<EncodableMap>(disks[1]).at(EncodableValue("name")),
            EncodableValue("Data (D:)"));
  for (const char* key : {"host", "user", "cpu", "home"}) {
    EXPECT_EQ(at(summary, key), EncodableValue("")) << key;
  }
}

}  // namespace
}  // namespace tidvale::system

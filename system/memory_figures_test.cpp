#include "system/memory_figures.h"

#include <gtest/gtest.h>

namespace tidvale::system {
namespace {

std::vector<ProcessMemory> processesWithSets(const std::vector<int64_t>& sets) {
  std::vector<ProcessMemory> processes;
  uint32_t pid = 100;
  for (int64_t set : sets) processes.push_back({set, pid++, "p" + std::to_string(set) + ".exe"});
  return processes;
}

std::vector<int64_t> setsOf(const std::vector<ProcessMemory>& processes) {
  std::vector<int64_t> sets;
  for (const auto& process : processes) sets.push_back(process.workingSet);
  return sets;
}

TEST(MemoryFigures, LargestProcessesKeepTwelveLargestFirst) {
  const struct {
    const char* what;
    std::vector<int64_t> sets;
    std::vector<int64_t> kept;
  } cases[] = {
      {"none", {}, {}},
      {"fewer than twelve: all of them", {3, 9, 1}, {9, 3, 1}},
      {"exactly twelve",
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
       {12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}},
      {"more than twelve: the small ones go",
       {5, 100, 1, 70, 3, 8, 60, 2, 90, 4, 80, 6, 50, 7, 40, 30},
       {100, 90, 80, 70, 60, 50, 40, 30, 8, 7, 6, 5}},
      {"beyond 4 GiB compared as 64-bit",
       {1LL << 33, 1LL << 32, (1LL << 32) + 1},
       {1LL << 33, (1LL << 32) + 1, 1LL << 32}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(setsOf(largestProcesses(processesWithSets(c.sets))), c.kept) << c.what;
  }
}

TEST(MemoryFigures, LargestProcessesKeepEachRecordWhole) {
  const auto kept = largestProcesses({{10, 7, "small.exe"}, {30, 9, "big.exe"}});
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].pid, 9u);
  EXPECT_EQ(kept[0].name, "big.exe");
  EXPECT_EQ(kept[1].pid, 7u);
  EXPECT_EQ(kept[1].name, "small.exe");
}

// Values of different integer widths never compare equal, so these checks cover the widths.
TEST(MemoryFigures, ReportMapFiguresAndWidths) {
  MemoryFigures figures;
  figures.physical = {16LL << 30, 6LL << 30, 62};
  figures.cached = 3LL << 30;
  figures.processes = processesWithSets({5, 1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14});
  figures.processes.push_back({1LL << 32, 4'000'000'000u, "huge.exe"});  // pid past INT32_MAX
  const EncodableMap report = memoryReportMap(figures);

  EXPECT_EQ(report.size(), 8u);
  const auto at = [&report](const char* key) -> const EncodableValue& {
    return report.at(EncodableValue(key));
  };
  EXPECT_EQ(at("total"), EncodableValue(int64_t{16LL << 30}));
  EXPECT_EQ(at("used"), EncodableValue(int64_t{10LL << 30}));
  EXPECT_EQ(at("free"), EncodableValue(int64_t{6LL << 30}));
  EXPECT_EQ(at("cached"), EncodableValue(int64_t{3LL << 30}));
  EXPECT_EQ(at("wired"), EncodableValue(int64_t{0}));
  EXPECT_EQ(at("compressed"), EncodableValue(int64_t{0}));
  EXPECT_EQ(at("pressure"), EncodableValue(int32_t{62}));

  const auto& top = std::get<EncodableList>(at("topProcesses"));
  ASSERT_EQ(top.size(), kTopProcessCount);
  const auto& first = std::get<EncodableMap>(top.front());
  EXPECT_EQ(first.size(), 3u);
  EXPECT_EQ(first.at(EncodableValue("name")), EncodableValue("huge.exe"));
  EXPECT_EQ(first.at(EncodableValue("mem")), EncodableValue(int64_t{1LL << 32}));
  // Process ids travel as 32-bit integers; the bits of a large id are kept.
  EXPECT_EQ(first.at(EncodableValue("pid")), EncodableValue(static_cast<int32_t>(4'000'000'000u)));
  // The huge one, then 14 down to 4: the three smallest are dropped.
  EXPECT_EQ(std::get<EncodableMap>(top.back()).at(EncodableValue("mem")),
            EncodableValue(int64_t{4}));
}

}  // namespace
}  // namespace tidvale::system

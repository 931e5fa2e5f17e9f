#include "system/memory_figures.h"

#include <gtest/gtest.h>

namespace tidvale::system {
namespace {

TEST(MemoryFigures, LargestProcessesKeepTwelveLargestFirst) {
  const struct {
    const char* what;
    std::vector<int64_t> sets;
    std::vector<int64_t> kept;
  } cases[] = {
      {"none", {}, {}},
      {"fewer than twelve: all of them", {3, 9, 1}, {9, 3, 1}},
      {"more than twelve: the smallest go",
       {5, 100, 1, 70, 3, 8, 60, 2, 90, 4, 80, 6, 50, 7, 40, 30},
       {100, 90, 80, 70, 60, 50, 40, 30, 8, 7, 6, 5}},
      {"sizes past 4 GiB",
       {1LL << 32, 1LL << 33, (1LL << 32) + 1},
       {1LL << 33, (1LL << 32) + 1, 1LL << 32}},
  };
  for (const auto& c : cases) {
    std::vector<ProcessMemory> processes;
    for (int64_t set : c.sets) processes.push_back({set, static_cast<uint32_t>(set), ""});
    std::vector<int64_t> kept;
    for (const auto& process : largestProcesses(processes)) {
      EXPECT_EQ(process.pid, static_cast<uint32_t>(process.workingSet)) << "record split up";
      kept.push_back(process.workingSet);
    }
    EXPECT_EQ(kept, c.kept) << c.what;
  }
}

}  // namespace
}  // namespace tidvale::system

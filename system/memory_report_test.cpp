#include "system/memory_report.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <psapi.h>

#include <algorithm>
#include <vector>

#include "win/text.h"

namespace tidvale::system {
namespace {

// Larger than any other process of the prefix (Wine's services stay near 30 MiB), so this
// process must lead the list once the memory is touched.
constexpr std::size_t kLeadingWorkingSetBytes = 256u << 20;
constexpr std::size_t kPageBytes = 4096;

std::string ownExecutableName() {
  wchar_t path[MAX_PATH]{};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring full(path);
  return win::toUtf8(full.substr(full.find_last_of(L'\\') + 1));
}

// Pages that stay in this process's working set while held.
std::vector<char> touchedMemory(std::size_t bytes) {
  std::vector<char> memory(bytes);
  for (std::size_t offset = 0; offset < bytes; offset += kPageBytes) memory[offset] = 1;
  return memory;
}

TEST(MemoryReport, MeasuresThisProcessUnderItsExecutableName) {
  const auto processes = readProcessMemory();
  const auto own = std::find_if(processes.begin(), processes.end(), [](const ProcessMemory& p) {
    return p.pid == ::GetCurrentProcessId();
  });
  ASSERT_NE(own, processes.end());
  EXPECT_EQ(own->name, ownExecutableName());
  EXPECT_GT(own->workingSet, 0);
  // Every process of the prefix is measured, not only this one.
  EXPECT_GT(processes.size(), 1u);
}

TEST(MemoryReport, ThisProcessLeadsTheListWhenItHasTheLargestWorkingSet) {
  const std::vector<char> held = touchedMemory(kLeadingWorkingSetBytes);
  const EncodableMap report = memoryReport();
  const auto& top = std::get<EncodableList>(report.at(EncodableValue("topProcesses")));
  ASSERT_FALSE(top.empty());
  const auto& first = std::get<EncodableMap>(top.front());
  EXPECT_EQ(first.at(EncodableValue("pid")),
            EncodableValue(static_cast<int32_t>(::GetCurrentProcessId())));
  EXPECT_EQ(first.at(EncodableValue("name")), EncodableValue(ownExecutableName()));
  EXPECT_GE(first.at(EncodableValue("mem")).LongValue(),
            static_cast<int64_t>(kLeadingWorkingSetBytes));
  int64_t previous = INT64_MAX;
  for (const auto& entry : top) {
    const int64_t mem = std::get<EncodableMap>(entry).at(EncodableValue("mem")).LongValue();
    EXPECT_LE(mem, previous) << "not largest first";
    previous = mem;
  }
  EXPECT_LE(top.size(), kTopProcessCount);
}

TEST(MemoryReport, PhysicalFiguresAgreeWithThePerformanceCounters) {
  // GetPerformanceInfo reads the same memory through another path of the platform.
  PERFORMANCE_INFORMATION performance{};
  ASSERT_TRUE(::K32GetPerformanceInfo(&performance, sizeof performance));
  const PhysicalMemory physical = readPhysicalMemory();
  EXPECT_EQ(physical.total,
            static_cast<uint64_t>(performance.PhysicalTotal) * performance.PageSize);
  EXPECT_GT(physical.available, 0u);
  EXPECT_LE(physical.available, physical.total);
  EXPECT_LE(physical.load, 100u);
}

}  // namespace
}  // namespace tidvale::system

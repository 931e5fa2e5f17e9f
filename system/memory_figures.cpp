#include "system/memory_figures.h"

#include <algorithm>

namespace tidvale::system {

int64_t usedBytes(const PhysicalMemory& physical) {
  return static_cast<int64_t>(physical.total - physical.available);
}

std::vector<ProcessMemory> largestProcesses(std::vector<ProcessMemory> processes) {
  const auto kept = std::min(processes.size(), kTopProcessCount);
  const auto largerFirst = [](const ProcessMemory& a, const ProcessMemory& b) {
    return a.workingSet > b.workingSet;
  };
  // Only the head is needed in order; the rest is dropped.
  std::partial_sort(processes.begin(), processes.begin() + kept, processes.end(), largerFirst);
  processes.resize(kept);
  return processes;
}

EncodableMap memoryReportMap(const MemoryFigures& figures) {
  EncodableList top;
  for (const ProcessMemory& process : largestProcesses(figures.processes)) {
    top.emplace_back(EncodableMap{
        {EncodableValue("pid"), EncodableValue(static_cast<int32_t>(process.pid))},
        {EncodableValue("name"), EncodableValue(process.name)},
        {EncodableValue("mem"), EncodableValue(process.workingSet)},
    });
  }
  const PhysicalMemory& physical = figures.physical;
  return EncodableMap{
      {EncodableValue("total"), EncodableValue(static_cast<int64_t>(physical.total))},
      {EncodableValue("used"), EncodableValue(usedBytes(physical))},
      {EncodableValue("free"), EncodableValue(static_cast<int64_t>(physical.available))},
      {EncodableValue("cached"), EncodableValue(figures.cached)},
      {EncodableValue("wired"), EncodableValue(int64_t{0})},
      {EncodableValue("compressed"), EncodableValue(int64_t{0})},
      {EncodableValue("pressure"), EncodableValue(static_cast<int32_t>(physical.load))},
      {EncodableValue("topProcesses"), EncodableValue(std::move(top))},
  };
}

}  // namespace tidvale::system

#include "system/memory_report.h"

#include <windows.h>

#include <psapi.h>

#include "system/process_snapshot.h"
#include "win/text.h"
#include "win/unique_resource.h"

namespace tidvale::system {

PhysicalMemory readPhysicalMemory() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  // On failure the zeroed record gives zeros.
  ::GlobalMemoryStatusEx(&status);
  return PhysicalMemory{status.ullTotalPhys, status.ullAvailPhys, status.dwMemoryLoad};
}

int64_t readSystemCacheBytes() {
  PERFORMANCE_INFORMATION info{};
  info.cb = sizeof info;
  if (!::K32GetPerformanceInfo(&info, sizeof info)) return 0;
  return static_cast<int64_t>(info.SystemCache) * static_cast<int64_t>(info.PageSize);
}

std::vector<ProcessMemory> readProcessMemory() {
  std::vector<ProcessMemory> processes;
  forEachProcess([&processes](DWORD pid, const wchar_t* exeName) {
    win::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) return;
    PROCESS_MEMORY_COUNTERS counters{};
    if (!::K32GetProcessMemoryInfo(process.get(), &counters, sizeof counters)) return;
    processes.push_back(ProcessMemory{static_cast<int64_t>(counters.WorkingSetSize),
                                      static_cast<uint32_t>(pid), win::toUtf8(exeName)});
  });
  return processes;
}

MemoryFigures readMemoryFigures() {
  MemoryFigures figures;
  figures.physical = readPhysicalMemory();
  figures.cached = readSystemCacheBytes();
  figures.processes = readProcessMemory();
  return figures;
}

EncodableMap memoryReport() {
  return memoryReportMap(readMemoryFigures());
}

}  // namespace tidvale::system

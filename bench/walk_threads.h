#pragma once
// The walk benchmarks' thread count and memory figure: the optional THREADS argument (0 or
// absent: the walks' default, one per processor) and the process's peak working set.

#include <psapi.h>
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>

#include "fs/walker_parallel.h"

namespace tidvale::bench {

// Sets the walks' thread count from argv[index] when given; returns the count walks will use.
inline size_t applyWalkThreads(int argc, wchar_t** argv, int index) {
  if (argc > index) fs::setWalkThreadCount(static_cast<size_t>(std::max(0, _wtoi(argv[index]))));
  return fs::walkThreadCount();
}

inline unsigned long long peakWorkingSetKiB() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters))) return 0;
  return static_cast<unsigned long long>(counters.PeakWorkingSetSize) / 1024;
}

}  // namespace tidvale::bench

#pragma once
// The memory report: physical memory use and the processes with the largest working sets, read
// from the system on every call. Any thread; keeps no state and takes no lock, so reports may be
// built at the same time. Nothing throws and nothing fails the report: figures that cannot be
// read are 0 and processes that cannot be opened or measured are left out.

#include "channels/encodable_value.h"
#include "system/memory_figures.h"

namespace tidvale::system {

// Total, available and load from GlobalMemoryStatusEx (zeros when it fails).
PhysicalMemory readPhysicalMemory();

// The system file cache in bytes (pages times page size); 0 when it cannot be read.
int64_t readSystemCacheBytes();

// The working set of every process this process may query, in snapshot order.
std::vector<ProcessMemory> readProcessMemory();

// Everything above, read once.
MemoryFigures readMemoryFigures();

// The method "memoryInfo" (background thread, no progress events): memoryReportMap of the
// figures read now.
EncodableMap memoryReport();

}  // namespace tidvale::system

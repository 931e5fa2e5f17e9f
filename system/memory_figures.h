#pragma once
// The memory report's figures and its reply map, apart from the Windows calls that read them, so
// the choices made on them (which processes are shown, which figures travel as which width) hold
// on every platform. Any thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "channels/encodable_value.h"

namespace tidvale::system {

// How many processes the report names, largest working set first.
inline constexpr std::size_t kTopProcessCount = 12;

// One process that could be opened and measured.
struct ProcessMemory {
  int64_t workingSet = 0;  // bytes
  uint32_t pid = 0;
  std::string name;  // executable file name, UTF-8
};

// Physical memory as the platform reports it.
struct PhysicalMemory {
  uint64_t total = 0;      // bytes visible to the system
  uint64_t available = 0;  // bytes
  uint32_t load = 0;       // percentage in use, 0 to 100
};

struct MemoryFigures {
  PhysicalMemory physical;
  int64_t cached = 0;                    // system cache bytes; 0 when unknown
  std::vector<ProcessMemory> processes;  // every process measured, in any order
};

// Bytes in use: total minus available.
int64_t usedBytes(const PhysicalMemory& physical);

// The kTopProcessCount processes with the largest working sets, largest first (all of them when
// there are fewer). Equal working sets come in no particular order.
std::vector<ProcessMemory> largestProcesses(std::vector<ProcessMemory> processes);

// {"total", "used", "free", "cached", "wired", "compressed", "pressure", "topProcesses"}: byte
// figures as 64-bit integers, "pressure" and each process's "pid" as 32-bit ones; "wired" and
// "compressed" have no meaning on Windows and are 0. Takes the largest processes itself.
EncodableMap memoryReportMap(const MemoryFigures& figures);

}  // namespace tidvale::system

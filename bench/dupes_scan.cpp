// Times "scanDuplicates" on a folder tree: the operation the method table runs, repeated warm,
// with its hashing pool of WORKERS threads (0: one per processor).
// Usage: dupes_scan_bench ROOT [REPETITIONS] [WORKERS]
// Prints: "scanDuplicates files=<n> groups=<g> wasted=<w> peakWorkingSet=<bytes> seconds=...".

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "bench/reply_field.h"
#include "bench/warm_timing.h"
#include "core/service_state.h"
#include "scanners/storage_scans.h"
#include "win/text.h"

namespace {

constexpr int kDefaultRepetitions = 3;
constexpr int64_t kMinSize = 1;  // every non-empty file, as jdupes compares them

size_t groupsOf(const tidvale::EncodableMap& reply) {
  const auto found = reply.find(tidvale::EncodableValue("groups"));
  if (found == reply.end()) return 0;
  const auto* groups = std::get_if<tidvale::EncodableList>(&found->second);
  return groups ? groups->size() : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fputs("usage: dupes_scan_bench ROOT [REPETITIONS] [WORKERS]\n", stderr);
    return 2;
  }
  const std::string root = tidvale::win::toUtf8(argv[1]);
  const int repetitions = argc > 2 ? std::max(1, _wtoi(argv[2])) : kDefaultRepetitions;
  const size_t workers = argc > 3 ? static_cast<size_t>(std::max(0, _wtoi(argv[3]))) : 0;
  tidvale::ServiceState state;

  const auto timing = tidvale::bench::timeWarm(
      repetitions, [&] { return tidvale::scanDuplicates(state, root, kMinSize, workers); },
      std::equal_to<>());
  if (!timing) {
    std::fputs("dupes_scan_bench: the reply changed between runs\n", stderr);
    return 1;
  }
  using tidvale::bench::int64Of;
  const tidvale::EncodableMap& first = timing->first;
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof(memory);
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof(memory));
  std::printf("scanDuplicates files=%lld groups=%zu wasted=%lld peakWorkingSet=%zu seconds=%s\n",
              static_cast<long long>(int64Of(first, "scanned")), groupsOf(first),
              static_cast<long long>(int64Of(first, "wasted")),
              static_cast<size_t>(memory.PeakWorkingSetSize), timing->seconds.c_str());
  return 0;
}

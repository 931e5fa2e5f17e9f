// Times "analyzeDisk" of an NTFS volume's root read from its master file table (the scan engine
// forced to the table), repeated warm, for the table benchmark's comparison with the raw walk.
// Memory: the process's peak working set after the runs less its working set before the first, so
// the figure holds the index, the read buffers, the scan's own state and the reply of one run
// (each run frees all of it before the next). Then the index is built alone once more, which
// splits the time between building the index and scanning it, and checks that the table engine
// can read the volume (a scan that fell back to the walk would not count).
// Usage: mft_scan_bench ROOT [REPETITIONS]
// Prints one line: "mft files=<n> size=<bytes> peak_bytes=<b> index_bytes=<b>
// index_seconds=<s> seconds=<s1>,<s2>,...". Exits 1 when the table engine cannot read the volume.

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/reply_field.h"
#include "bench/warm_timing.h"
#include "core/service_state.h"
#include "fs/mft/mft_volume_win.h"
#include "scanners/scan_engine.h"
#include "scanners/storage_scans.h"
#include "win/text.h"

namespace {

constexpr int kDefaultRepetitions = 5;
constexpr int64_t kDiskDepth = 3;

PROCESS_MEMORY_COUNTERS memoryCounters() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
  return counters;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  using tidvale::bench::int64Of;
  if (argc < 2) {
    std::fputs("usage: mft_scan_bench ROOT [REPETITIONS]\n", stderr);
    return 2;
  }
  const std::wstring root = argv[1];
  const std::string rootText = tidvale::win::toUtf8(root);
  const int repetitions = argc > 2 ? std::max(1, _wtoi(argv[2])) : kDefaultRepetitions;
  ::SetEnvironmentVariableW(tidvale::kScanEngineVariable, L"mft");
  tidvale::ServiceState state;

  const size_t before = memoryCounters().WorkingSetSize;
  const auto timing = tidvale::bench::timeWarm(
      repetitions, [&] { return tidvale::analyzeDisk(state, rootText, kDiskDepth); },
      [](const tidvale::EncodableMap& a, const tidvale::EncodableMap& b) {
        return int64Of(a, "scanned") == int64Of(b, "scanned") &&
               int64Of(a, "size") == int64Of(b, "size");
      });
  const size_t peak = memoryCounters().PeakWorkingSetSize;
  if (!timing) {
    std::fputs("mft_scan_bench: analyzeDisk counted other figures between runs\n", stderr);
    return 1;
  }

  // The index alone: the table read and parsed, its folders grouped, nothing scanned.
  const double start = tidvale::bench::nowSeconds();
  const tidvale::fs::mft::MftVolume volume = tidvale::fs::mft::openMftVolume(root, nullptr);
  const double indexSeconds = tidvale::bench::nowSeconds() - start;
  if (!volume.fileSystem) {
    std::fprintf(stderr, "mft_scan_bench: the table engine cannot read %s: %s\n", rootText.c_str(),
                 volume.failure);
    return 1;
  }
  const tidvale::EncodableMap& first = timing->first;
  std::printf(
      "mft files=%lld size=%lld peak_bytes=%lld index_bytes=%lld index_seconds=%.6f "
      "seconds=%s\n",
      static_cast<long long>(int64Of(first, "scanned")),
      static_cast<long long>(int64Of(first, "size")),
      static_cast<long long>(peak - std::min(peak, before)),
      static_cast<long long>(volume.fileSystem->index().memoryBytes()), indexSeconds,
      timing->seconds.c_str());
  return 0;
}

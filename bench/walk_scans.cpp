// Times "analyzeDisk" and "scanLargeFiles" on a folder tree: the operations the method table
// runs, repeated warm, for the walk benchmark's comparison with the raw walk.
// Usage: walk_scans_bench ROOT [REPETITIONS] [THREADS]
// Prints two lines: "analyzeDisk files=<n> size=<total> seconds=<s1>,..." and
// "scanLargeFiles files=<n> seconds=<s1>,...". THREADS 0 or absent: the walks' default.

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "bench/reply_field.h"
#include "bench/walk_threads.h"
#include "bench/warm_timing.h"
#include "core/service_state.h"
#include "scanners/storage_scans.h"
#include "win/text.h"

namespace {

constexpr int kDefaultRepetitions = 5;
constexpr int64_t kDiskDepth = 3;
constexpr int64_t kLargeFileThreshold = 104857600;

// Runs `scan` warm `repetitions` times; prints the name, its figures and the times.
int timeScan(const char* name, int repetitions, const std::function<tidvale::EncodableMap()>& scan,
             const char* figures) {
  using tidvale::bench::int64Of;
  const auto timing = tidvale::bench::timeWarm(
      repetitions, scan, [](const tidvale::EncodableMap& a, const tidvale::EncodableMap& b) {
        return int64Of(a, "scanned") == int64Of(b, "scanned");
      });
  if (!timing) {
    std::fprintf(stderr, "walk_scans_bench: %s counted another number of files\n", name);
    return 1;
  }
  const tidvale::EncodableMap& first = timing->first;
  std::printf("%s files=%lld", name, static_cast<long long>(int64Of(first, "scanned")));
  if (figures[0] != '\0')
    std::printf(" %s=%lld", figures, static_cast<long long>(int64Of(first, figures)));
  std::printf(" seconds=%s\n", timing->seconds.c_str());
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fputs("usage: walk_scans_bench ROOT [REPETITIONS] [THREADS]\n", stderr);
    return 2;
  }
  const std::string root = tidvale::win::toUtf8(argv[1]);
  const int repetitions = argc > 2 ? std::max(1, _wtoi(argv[2])) : kDefaultRepetitions;
  tidvale::bench::applyWalkThreads(argc, argv, 3);
  tidvale::ServiceState state;
  if (timeScan(
          "analyzeDisk", repetitions, [&] { return tidvale::analyzeDisk(state, root, kDiskDepth); },
          "size")) {
    return 1;
  }
  return timeScan(
      "scanLargeFiles", repetitions,
      [&] { return tidvale::scanLargeFiles(state, root, kLargeFileThreshold); }, "");
}

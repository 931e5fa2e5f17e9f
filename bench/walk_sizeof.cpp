// Times "sizeOf" on a folder tree: the same operation the method table runs, repeated warm.
// Usage: walk_sizeof_bench ROOT [REPETITIONS] [THREADS]
// Prints one line: "sizeOf threads=<n> bytes=<total> peakKiB=<peak working set>
// seconds=<s1>,<s2>,..." (one figure per repetition). THREADS 0 or absent: the default.

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
#include "scanners/size_of.h"

namespace {

constexpr int kDefaultRepetitions = 5;

int64_t sizeOfReply(tidvale::ServiceState& state, const std::wstring& root) {
  return tidvale::bench::int64Of(tidvale::sizeOf(state, root), "size");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fputs("usage: walk_sizeof_bench ROOT [REPETITIONS] [THREADS]\n", stderr);
    return 2;
  }
  const std::wstring root = argv[1];
  const int repetitions = argc > 2 ? std::max(1, _wtoi(argv[2])) : kDefaultRepetitions;
  const size_t threads = tidvale::bench::applyWalkThreads(argc, argv, 3);
  tidvale::ServiceState state;

  const auto timing = tidvale::bench::timeWarm(
      repetitions, [&] { return sizeOfReply(state, root); }, std::equal_to<>());
  if (!timing) {
    std::fputs("walk_sizeof_bench: the size changed between runs\n", stderr);
    return 1;
  }
  std::printf("sizeOf threads=%zu bytes=%lld peakKiB=%llu seconds=%s\n", threads,
              static_cast<long long>(timing->first), tidvale::bench::peakWorkingSetKiB(),
              timing->seconds.c_str());
  return 0;
}

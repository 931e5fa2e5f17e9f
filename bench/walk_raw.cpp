// The baseline for walk benchmarks: the least a recursive FindFirstFileExW walk can do (listing
// sizes, no links entered, nothing else), repeated warm.
// Usage: walk_raw_bench ROOT [REPETITIONS]
// Prints one line: "raw files=<n> folders=<n> bytes=<total> seconds=<s1>,<s2>,...".

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/raw_walk.h"
#include "bench/warm_timing.h"
#include "win/unique_resource.h"

namespace {

constexpr int kDefaultRepetitions = 5;

struct Totals {
  long long files = 0;
  long long folders = 0;
  long long bytes = 0;
};

Totals walkTree(const std::wstring& root) {
  Totals totals;
  std::wstring path = root;
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  tidvale::bench::rawWalk(
      path,
      [&totals](const std::wstring&, const WIN32_FIND_DATAW& data) {
        ++totals.files;
        totals.bytes += tidvale::bench::fileSizeOf(data);
      },
      [&totals](const std::wstring&) { ++totals.folders; });
  return totals;
}

// The raw walk recurses once per folder level: a chain of 2,000 folders needs more stack than a
// main thread has, so the walk runs on a thread with room for any depth a path allows.
constexpr SIZE_T kWalkStackBytes = 256 * 1024 * 1024;

Totals walkTreeOnLargeStack(const std::wstring& root) {
  struct Call {
    const std::wstring& root;
    Totals totals;
  } call{root, {}};
  const auto body = [](void* parameter) -> DWORD {
    Call& c = *static_cast<Call*>(parameter);
    c.totals = walkTree(c.root);
    return 0;
  };
  HANDLE thread = ::CreateThread(nullptr, kWalkStackBytes, body, &call,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == nullptr) return walkTree(root);
  ::WaitForSingleObject(thread, INFINITE);
  ::CloseHandle(thread);
  return call.totals;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fputs("usage: walk_raw_bench ROOT [REPETITIONS]\n", stderr);
    return 2;
  }
  const std::wstring root = argv[1];
  const int repetitions = argc > 2 ? std::max(1, _wtoi(argv[2])) : kDefaultRepetitions;

  const auto timing = tidvale::bench::timeWarm(
      repetitions, [&] { return walkTreeOnLargeStack(root); },
      [](const Totals& a, const Totals& b) { return a.files == b.files && a.bytes == b.bytes; });
  if (!timing) {
    std::fputs("walk_raw_bench: the tree changed between runs\n", stderr);
    return 1;
  }
  const Totals& first = timing->first;
  std::printf("raw files=%lld folders=%lld bytes=%lld seconds=%s\n", first.files, first.folders,
              first.bytes, timing->seconds.c_str());
  return 0;
}

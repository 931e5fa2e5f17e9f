// The baseline for walk benchmarks: the least a recursive FindFirstFileExW walk can do (listing
// sizes, no links entered, nothing else), repeated warm.
// Usage: walk_raw_bench ROOT [REPETITIONS]
// Prints one line: "raw files=<n> folders=<n> bytes=<total> seconds=<s1>,<s2>,...".

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/clock.h"
#include "win/unique_resource.h"

namespace {

constexpr int kDefaultRepetitions = 5;

struct Totals {
  long long files = 0;
  long long folders = 0;
  long long bytes = 0;
};

double nowSeconds() {
  return static_cast<double>(tidvale::steadyClockNanoseconds()) / 1e9;
}

// `path` ends with a separator; it is restored before returning.
void walk(std::wstring& path, Totals& totals) {
  const size_t length = path.size();
  path += L'*';
  WIN32_FIND_DATAW data;
  tidvale::win::UniqueFindHandle find(::FindFirstFileExW(path.c_str(), FindExInfoBasic, &data,
                                                         FindExSearchNameMatch, nullptr,
                                                         FIND_FIRST_EX_LARGE_FETCH));
  path.resize(length);
  if (!find) return;
  do {
    const wchar_t* name = data.cFileName;
    if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ++totals.folders;
      path += name;
      path += L'\\';
      walk(path, totals);
      path.resize(length);
    } else {
      ++totals.files;
      totals.bytes += (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
  } while (::FindNextFileW(find.get(), &data));
}

Totals walkTree(const std::wstring& root) {
  Totals totals;
  std::wstring path = root;
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  walk(path, totals);
  return totals;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fputs("usage: walk_raw_bench ROOT [REPETITIONS]\n", stderr);
    return 2;
  }
  const std::wstring root = argv[1];
  const int repetitions = argc > 2 ? std::max(1, _wtoi(argv[2])) : kDefaultRepetitions;

  const Totals first = walkTree(root);  // warm-up: fills the file system caches
  std::string seconds;
  for (int i = 0; i < repetitions; ++i) {
    const double start = nowSeconds();
    const Totals again = walkTree(root);
    const double elapsed = nowSeconds() - start;
    if (again.files != first.files || again.bytes != first.bytes) {
      std::fputs("walk_raw_bench: the tree changed between runs\n", stderr);
      return 1;
    }
    seconds += (i ? "," : "") + std::to_string(elapsed);
  }
  std::printf("raw files=%lld folders=%lld bytes=%lld seconds=%s\n", first.files, first.folders,
              first.bytes, seconds.c_str());
  return 0;
}

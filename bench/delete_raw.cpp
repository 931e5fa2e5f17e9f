// The baseline for the removal benchmark: the least a recursive removal can do, a
// FindFirstFileExW walk that deletes each file with DeleteFileW and each emptied folder with
// RemoveDirectoryW, following no links and measuring nothing. Warm-up: one walk of the tree.
// With --paths, only the files go, each by DeleteFileW on its plain path, listed before the
// clock starts: the baseline for a routine handed every file as a path of its own.
// Usage: delete_raw_bench [--paths] ROOT
// Prints one line: "raw files=<n> folders=<n> seconds=<s>".

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/raw_walk.h"
#include "core/clock.h"
#include "win/unique_resource.h"

namespace {

struct Totals {
  long long files = 0;
  long long folders = 0;
};

double nowSeconds() {
  return static_cast<double>(tidvale::steadyClockNanoseconds()) / 1e9;
}

// Walks below `path` (ending with a separator), deleting what it meets when `remove` is set.
void visit(std::wstring& path, Totals& totals, bool remove) {
  tidvale::bench::rawWalk(
      path,
      [&](const std::wstring& file, const WIN32_FIND_DATAW&) {
        ++totals.files;
        if (remove) ::DeleteFileW(file.c_str());
      },
      [&](const std::wstring& folder) {
        ++totals.folders;
        if (remove) ::RemoveDirectoryW(folder.c_str());
      });
}

// Deletes every file below `root` by its own path; the folders stay.
int deleteEachFile(const std::wstring& root) {
  std::vector<std::wstring> files;
  std::wstring path = root + L"\\";
  tidvale::bench::rawWalk(
      path, [&](const std::wstring& file, const WIN32_FIND_DATAW&) { files.push_back(file); },
      [](const std::wstring&) {});
  long long deleted = 0;
  const double start = nowSeconds();
  for (const std::wstring& file : files) deleted += ::DeleteFileW(file.c_str()) ? 1 : 0;
  const double seconds = nowSeconds() - start;
  std::printf("raw files=%lld folders=0 seconds=%f\n", deleted, seconds);
  return deleted == static_cast<long long>(files.size()) ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[1]) == L"--paths") return deleteEachFile(argv[2]);
  if (argc < 2) {
    std::fputs("usage: delete_raw_bench [--paths] ROOT\n", stderr);
    return 2;
  }
  std::wstring path = std::wstring(L"\\\\?\\") + argv[1] + L"\\";
  Totals warm;
  visit(path, warm, false);
  Totals totals;
  const double start = nowSeconds();
  visit(path, totals, true);
  path.pop_back();
  ::RemoveDirectoryW(path.c_str());
  const double seconds = nowSeconds() - start;
  std::printf("raw files=%lld folders=%lld seconds=%f\n", totals.files, totals.folders, seconds);
  return ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ? 0 : 1;
}

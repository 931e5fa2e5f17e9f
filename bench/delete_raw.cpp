// The baseline for the removal benchmark: the least a recursive removal can do, a
// FindFirstFileExW walk that deletes each file with DeleteFileW and each emptied folder with
// RemoveDirectoryW, following no links and measuring nothing. Warm-up: one walk of the tree.
// Usage: delete_raw_bench ROOT
// Prints one line: "raw files=<n> folders=<n> seconds=<s>".

#include <windows.h>

#include <cstdio>
#include <string>

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

// `path` ends with a separator; it is restored before returning.
void visit(std::wstring& path, Totals& totals, bool remove) {
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
    path += name;
    const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                        (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    if (folder) {
      ++totals.folders;
      path += L'\\';
      visit(path, totals, remove);
      path.pop_back();
      if (remove) ::RemoveDirectoryW(path.c_str());
    } else {
      ++totals.files;
      if (remove) ::DeleteFileW(path.c_str());
    }
    path.resize(length);
  } while (::FindNextFileW(find.get(), &data));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fputs("usage: delete_raw_bench ROOT\n", stderr);
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

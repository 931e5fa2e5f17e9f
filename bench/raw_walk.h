#pragma once
// The baselines' walk: the least a recursive FindFirstFileExW walk can do, with sizes from the
// listing and no reparse point entered or reported. Shared by the benchmarks' raw loops.

#include <windows.h>

#include <string>

#include "win/unique_resource.h"

namespace tidvale::bench {

// Walks below `path`, which ends with a separator and is restored before returning. Calls
// `onFile(filePath, data)` for each file and `afterFolder(folderPath)` once a folder's entries
// are done (its path without a trailing separator).
template <typename OnFile, typename AfterFolder>
void rawWalk(std::wstring& path, const OnFile& onFile, const AfterFolder& afterFolder) {
  const size_t length = path.size();
  path += L'*';
  WIN32_FIND_DATAW data;
  win::UniqueFindHandle find(::FindFirstFileExW(path.c_str(), FindExInfoBasic, &data,
                                                FindExSearchNameMatch, nullptr,
                                                FIND_FIRST_EX_LARGE_FETCH));
  path.resize(length);
  if (!find) return;
  do {
    const wchar_t* name = data.cFileName;
    if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
    path += name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      path += L'\\';
      rawWalk(path, onFile, afterFolder);
      path.pop_back();
      afterFolder(path);
    } else {
      onFile(path, data);
    }
    path.resize(length);
  } while (::FindNextFileW(find.get(), &data));
}

inline long long fileSizeOf(const WIN32_FIND_DATAW& data) {
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace tidvale::bench

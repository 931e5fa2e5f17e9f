#include "software/install_folder_sizes.h"

#include <algorithm>

#include "core/lower_case.h"
#include "fs/path_text.h"

namespace tidvale::software {
namespace {

// One key for the spellings of a folder that differ only in letter case, the kind of separator
// or trailing separators.
std::wstring folderKey(const std::wstring& location) {
  std::wstring key = toLowerUnits(location);
  std::replace(key.begin(), key.end(), L'/', L'\\');
  while (key.size() > 1 && key.back() == L'\\' && key[key.size() - 2] != L':') key.pop_back();
  return key;
}

}  // namespace

int64_t InstallFolderSizes::sizeOf(const std::wstring& location) {
  if (!drives_.isLocal(location)) return 0;
  const auto [slot, added] = measured_.try_emplace(folderKey(location), 0);
  if (added) slot->second = measure_(location);
  return slot->second;
}

}  // namespace tidvale::software

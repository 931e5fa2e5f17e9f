#include "software/local_path.h"

#include <windows.h>

#include <cwctype>

#include "fs/extended_path.h"
#include "fs/path_text.h"

namespace tidvale::software {
namespace {

constexpr bool isDriveLetter(wchar_t unit) {
  return (unit >= L'A' && unit <= L'Z') || (unit >= L'a' && unit <= L'z');
}

// "C:\" when `text` begins with a drive letter, a colon and a separator.
std::wstring driveRootAtStart(std::wstring_view text) {
  if (text.size() < 3 || !isDriveLetter(text[0]) || text[1] != L':' || !fs::isSeparator(text[2])) {
    return {};
  }
  return std::wstring{text[0], L':', L'\\'};
}

}  // namespace

std::wstring localDriveRoot(std::wstring_view path) {
  if (path.starts_with(fs::kExtendedPrefix)) {
    return driveRootAtStart(path.substr(fs::kExtendedPrefix.size()));
  }
  return driveRootAtStart(path);
}

bool LocalDrives::isLocal(std::wstring_view path) {
  std::wstring root = localDriveRoot(path);
  if (root.empty()) return false;
  root[0] = static_cast<wchar_t>(std::towupper(root[0]));
  const auto [slot, added] = known_.try_emplace(root[0], false);
  if (added) {
    const UINT type = ::GetDriveTypeW(root.c_str());
    // Not a network drive, nor a letter that names no drive at all.
    slot->second = type == DRIVE_FIXED || type == DRIVE_REMOVABLE || type == DRIVE_CDROM ||
                   type == DRIVE_RAMDISK;
  }
  return slot->second;
}

}  // namespace tidvale::software

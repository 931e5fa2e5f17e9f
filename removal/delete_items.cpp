#include "removal/delete_items.h"

#include <windows.h>

#include <shlobj.h>

#include "removal/deletion.h"
#include "removal/win32_recycle_bin.h"
#include "scanners/win32_file_system.h"
#include "win/known_folder.h"
#include "win/text.h"

namespace tidvale {
namespace {

// GetFullPathNameW's form of `path`, with short (8.3) names expanded where the path exists.
std::optional<std::wstring> systemFullPath(const std::wstring& path) {
  const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return std::nullopt;
  std::wstring full(needed, L'\0');
  const DWORD written = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (written == 0 || written >= needed) return std::nullopt;
  full.resize(written);
  const DWORD longNeeded = ::GetLongPathNameW(full.c_str(), nullptr, 0);
  if (longNeeded == 0) return full;
  std::wstring longForm(longNeeded, L'\0');
  const DWORD longWritten = ::GetLongPathNameW(full.c_str(), longForm.data(), longNeeded);
  if (longWritten == 0 || longWritten >= longNeeded) return full;
  longForm.resize(longWritten);
  return longForm;
}

RemovalGuard systemRemovalGuard() {
  return RemovalGuard{
      {
          win::knownFolderPath(FOLDERID_Windows),
          win::knownFolderPath(FOLDERID_ProgramFiles),
          win::knownFolderPath(FOLDERID_ProgramFilesX86),
          win::knownFolderPath(FOLDERID_ProgramData),
          win::knownFolderPath(FOLDERID_UserProfiles),
          win::homeFolder(),
      },
      systemFullPath,
  };
}

}  // namespace

EncodableMap deleteItems(ServiceState& state, const std::vector<std::string>& paths, bool toTrash) {
  const RemovalGuard guard = systemRemovalGuard();
  const DeletionEnvironment environment{
      fs::systemFileSystem(), win32RecycleBin(), guard,
      [](const std::string& text) { return win::pathFromUtf8(text); }};
  return runDeletion(state, environment, paths, toTrash);
}

EncodableMap emptyTrash(ServiceState& state) {
  return deleteItems(state, {kRecycleBinPseudoPath}, false);
}

}  // namespace tidvale

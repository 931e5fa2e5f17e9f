#include "removal/delete_items.h"

#include <windows.h>

#include <shlobj.h>

#include "fs/win32_file_system.h"
#include "removal/deletion.h"
#include "removal/win32_recycle_bin.h"
#include "win/known_folder.h"
#include "win/path_names.h"
#include "win/text.h"

namespace tidvale {
namespace {

// GetFullPathNameW's form of `path`, with short (8.3) names expanded where the path exists.
std::optional<std::wstring> systemFullPath(const std::wstring& path) {
  const std::optional<std::wstring> full = win::fullPathName(path);
  if (!full) return std::nullopt;
  return win::longPathName(*full).value_or(*full);
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

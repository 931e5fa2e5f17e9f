#include "removal/delete_items.h"

#include <windows.h>

#include <shlobj.h>

#include "fs/protected_folders.h"
#include "fs/win32_file_system.h"
#include "removal/deletion.h"
#include "removal/win32_recycle_bin.h"
#include "win/known_folder.h"
#include "win/text.h"

namespace tidvale {
namespace {

constexpr DWORD kDriveStringsBufferUnits = 26 * 4 + 1;  // "X:\" and a NUL per letter, and one more

// The folders no removal may take, nor any folder that holds one.
std::vector<std::wstring> protectedFolders() {
  const std::wstring profile = win::homeFolder();
  const std::wstring programData = win::knownFolderPath(FOLDERID_ProgramData);
  return {
      win::knownFolderPath(FOLDERID_Windows),
      win::knownFolderPath(FOLDERID_ProgramFiles),
      win::knownFolderPath(FOLDERID_ProgramFilesX86),
      win::knownFolderPath(FOLDERID_ProgramFilesCommon),
      win::knownFolderPath(FOLDERID_ProgramFilesCommonX86),
      programData,
      programData.empty() ? L"" : programData + L"\\Microsoft",
      win::knownFolderPath(FOLDERID_UserProfiles),
      profile,
      profile.empty() ? L"" : profile + L"\\AppData",
      win::knownFolderPath(FOLDERID_RoamingAppData),
      win::knownFolderPath(FOLDERID_LocalAppData),
      win::knownFolderPath(FOLDERID_LocalAppDataLow),
      win::knownFolderPath(FOLDERID_Desktop),
      win::knownFolderPath(FOLDERID_Documents),
      win::knownFolderPath(FOLDERID_Downloads),
      win::knownFolderPath(FOLDERID_Pictures),
      win::knownFolderPath(FOLDERID_Music),
      win::knownFolderPath(FOLDERID_Videos),
  };
}

// The roots of the fixed drives; removable and network drives are not opened (a network drive
// could stall every call). Their roots are refused by text anyway.
std::vector<std::wstring> fixedDriveRoots() {
  wchar_t buffer[kDriveStringsBufferUnits] = {};
  const DWORD length = ::GetLogicalDriveStringsW(kDriveStringsBufferUnits, buffer);
  std::vector<std::wstring> roots;
  if (length == 0 || length >= kDriveStringsBufferUnits) return roots;
  for (const wchar_t* root = buffer; *root != L'\0'; root += wcslen(root) + 1) {
    if (::GetDriveTypeW(root) == DRIVE_FIXED) roots.emplace_back(root);
  }
  return roots;
}

}  // namespace

EncodableMap deleteItems(ServiceState& state, const std::vector<std::string>& paths, bool toTrash) {
  std::vector<std::wstring> folders = protectedFolders();
  const RemovalGuard guard{folders, win::foldCase};
  for (std::wstring& root : fixedDriveRoots()) folders.push_back(std::move(root));
  fs::FileSystem& fileSystem = fs::systemFileSystem();
  const DeletionEnvironment environment{
      fileSystem, win32RecycleBin(), guard, fs::protectedIdentities(fileSystem, folders),
      [](const std::string& text) { return win::pathFromUtf8(text); }};
  return runDeletion(state, environment, paths, toTrash);
}

EncodableMap emptyTrash(ServiceState& state) {
  return deleteItems(state, {kRecycleBinPseudoPath}, false);
}

}  // namespace tidvale

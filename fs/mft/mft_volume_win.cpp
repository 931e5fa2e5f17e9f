#include "fs/mft/mft_volume_win.h"

#include <windows.h>

#include "fs/mft/little_endian.h"
#include "fs/mft/win32_volume_source.h"
#include "fs/walker.h"
#include "fs/win32_file_system.h"
#include "win/unique_resource.h"

namespace tidvale::fs::mft {
namespace {

constexpr wchar_t kNtfs[] = L"NTFS";

bool isNtfs(wchar_t letter) {
  const std::wstring root{letter, L':', L'\\'};
  wchar_t fileSystem[MAX_PATH + 1] = {};
  return ::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, fileSystem,
                                 MAX_PATH + 1) &&
         std::wstring_view(fileSystem) == kNtfs;
}

// The record number the file system gives the folder at `path` (links followed, as a walk of
// the path itself starts where they lead).
std::optional<uint64_t> recordOf(const std::wstring& path) {
  const std::optional<std::wstring> target = win32Path(path);
  if (!target) return std::nullopt;
  win::UniqueFileHandle file(::CreateFileW(
      target->c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!file || !::GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
  return referenceRecord((uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow);
}

}  // namespace

MftVolume openMftVolume(const std::wstring& root, const std::atomic<bool>* cancel) {
  const std::optional<wchar_t> letter = driveLetterOf(root);
  if (!letter) return {nullptr, "the root is not on a drive letter"};
  if (!isNtfs(*letter)) return {nullptr, "the volume is not NTFS"};
  const std::optional<uint64_t> expected = recordOf(root);
  if (!expected) return {nullptr, "the root cannot be opened"};
  std::unique_ptr<Win32VolumeSource> source = Win32VolumeSource::open(*letter);
  if (!source) return {nullptr, "the volume cannot be opened raw"};
  MftIndexResult index = buildMftIndex(*source, cancel);
  if (!index.index) return {nullptr, index.failure};

  auto fileSystem =
      std::make_unique<MftFileSystem>(std::move(index.index), std::wstring{*letter, L':'});
  const FileStatus status = fileSystem->status(root, false);
  std::optional<uint32_t> resolved = fileSystem->recordOf(root);
  if (!status.isFolder() || !resolved || *resolved != *expected) {
    return {nullptr, "the root is not where the volume's table puts it"};
  }
  return {std::move(fileSystem), ""};
}

}  // namespace tidvale::fs::mft

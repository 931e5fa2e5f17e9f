#include "fs/win32_file_system.h"

#include <optional>
#include <string_view>

#include "fs/extended_path.h"
#include "fs/path_text.h"
#include "fs/win32_held_folder.h"
#include "win/path_names.h"
#include "win/unique_resource.h"

namespace tidvale::fs {
namespace {

constexpr wchar_t kListAllPattern[] = L"*";
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

int64_t combine(DWORD high, DWORD low) {
  return static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
}

int64_t ticksOf(const FILETIME& time) {
  return combine(time.dwHighDateTime, time.dwLowDateTime);
}

// The current folder, or a drive's, for a root that depends on it ("", "C:" or "\\").
std::optional<std::wstring> resolveCurrentFolder(std::wstring_view root) {
  return win::fullPathName(root.empty() ? std::wstring(L".") : std::wstring(root));
}

StatusOutcome outcomeOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return StatusOutcome::NotFound;
    default:
      return StatusOutcome::Failed;
  }
}

FsError resultOf(BOOL succeeded) {
  return succeeded ? FsError::None : fsErrorOf(::GetLastError());
}

bool isDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

class Win32Listing final : public FolderListing {
 public:
  // `handle` invalid: an empty listing.
  Win32Listing(win::UniqueFindHandle handle, const WIN32_FIND_DATAW& first)
      : handle_(std::move(handle)), data_(first), pending_(handle_.valid()) {}

  ListStep next(DirEntry& entry) override {
    for (;;) {
      if (pending_) {
        pending_ = false;
      } else {
        if (!handle_) return ListStep::End;
        if (!::FindNextFileW(handle_.get(), &data_)) {
          const DWORD error = ::GetLastError();
          handle_.reset();
          return error == ERROR_NO_MORE_FILES ? ListStep::End : ListStep::Error;
        }
      }
      if (isDotEntry(data_.cFileName)) continue;
      entry.name.assign(data_.cFileName);
      entry.attributes = data_.dwFileAttributes;
      entry.reparseTag =
          (data_.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? data_.dwReserved0 : 0;
      entry.size = (data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                       ? 0
                       : combine(data_.nFileSizeHigh, data_.nFileSizeLow);
      entry.lastWriteTime = ticksOf(data_.ftLastWriteTime);
      return ListStep::Entry;
    }
  }

 private:
  win::UniqueFindHandle handle_;
  WIN32_FIND_DATAW data_;
  bool pending_;
};

// The reparse tag of the entry itself; false when it cannot be read.
bool readReparseTag(const std::wstring& path, uint32_t& tag) {
  win::UniqueFileHandle file(
      ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (file) {
    FILE_ATTRIBUTE_TAG_INFO info{};
    if (::GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &info, sizeof(info))) {
      tag = info.ReparseTag;
      return true;
    }
  }
  // A listing of the path itself carries the tag too; wildcards after the extended prefix would
  // make it a pattern.
  if (path.find_first_of(L"*?", kExtendedPrefix.size()) != std::wstring::npos) return false;
  WIN32_FIND_DATAW data;
  win::UniqueFindHandle find(
      ::FindFirstFileExW(path.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
  if (!find) return false;
  tag = data.dwReserved0;
  return true;
}

// The status of what the links at `path` lead to.
FileStatus followedStatus(const std::wstring& path) {
  win::UniqueFileHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) return FileStatus{outcomeOf(::GetLastError())};
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(file.get(), &info)) return FileStatus{StatusOutcome::Failed};
  FileStatus status{StatusOutcome::Found, info.dwFileAttributes};
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    uint32_t tag = 0;
    if (readReparseTag(path, tag)) status.reparseTag = tag;
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    status.size = combine(info.nFileSizeHigh, info.nFileSizeLow);
  }
  status.lastWriteTime = ticksOf(info.ftLastWriteTime);
  return status;
}

class Win32FileSystem final : public FileSystem {
 public:
  std::unique_ptr<FolderListing> openFolder(const std::wstring& path) override {
    const std::optional<std::wstring> folder = win32Path(path);
    if (!folder) return nullptr;
    WIN32_FIND_DATAW first{};
    win::UniqueFindHandle handle(::FindFirstFileExW(joinPath(*folder, kListAllPattern).c_str(),
                                                    FindExInfoBasic, &first, FindExSearchNameMatch,
                                                    nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!handle) {
      // A folder without even "." and ".." (a drive root) lists nothing rather than failing.
      const DWORD error = ::GetLastError();
      const DWORD attributes = ::GetFileAttributesW(folder->c_str());
      if (error != ERROR_FILE_NOT_FOUND || attributes == INVALID_FILE_ATTRIBUTES ||
          (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return nullptr;
      }
    }
    return std::make_unique<Win32Listing>(std::move(handle), first);
  }

  FileStatus status(const std::wstring& path, bool followLinks) override {
    const std::optional<std::wstring> target = win32Path(path);
    if (!target) return FileStatus{StatusOutcome::NotFound};
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(target->c_str(), GetFileExInfoStandard, &data)) {
      return FileStatus{outcomeOf(::GetLastError())};
    }
    FileStatus status{StatusOutcome::Found, data.dwFileAttributes};
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      if (followLinks) return followedStatus(*target);
      // A tag that cannot be read stays 0, which classifies the entry as a link: never entered.
      if (!readReparseTag(*target, status.reparseTag)) status.reparseTag = 0;
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      status.size = combine(data.nFileSizeHigh, data.nFileSizeLow);
    }
    status.lastWriteTime = ticksOf(data.ftLastWriteTime);
    return status;
  }

  FsError removeFile(const std::wstring& path) override {
    const std::optional<std::wstring> target = win32Path(path);
    return target ? resultOf(::DeleteFileW(target->c_str())) : FsError::NotFound;
  }

  FsError removeFolder(const std::wstring& path) override {
    const std::optional<std::wstring> target = win32Path(path);
    return target ? resultOf(::RemoveDirectoryW(target->c_str())) : FsError::NotFound;
  }

  FsError setAttributes(const std::wstring& path, uint32_t attributes) override {
    const std::optional<std::wstring> target = win32Path(path);
    return target ? resultOf(::SetFileAttributesW(target->c_str(), attributes)) : FsError::NotFound;
  }

  Hold holdFolder(const std::wstring& path) override {
    const std::optional<std::wstring> target = win32Path(path);
    return target ? holdWin32Folder(*target) : Hold{HoldOutcome::Missing};
  }

  FsError removeEntry(const std::wstring& path) override {
    const std::optional<std::wstring> target = win32Path(path);
    return target ? removeWin32Entry(*target) : FsError::NotFound;
  }

  Hold holdVolumeRoot(const std::wstring& root) override {
    const std::optional<std::wstring> target = win32Path(root);
    return target ? holdWin32VolumeRoot(*target) : Hold{HoldOutcome::Missing};
  }

  std::optional<std::wstring> finalPath(const std::wstring& path) override {
    const std::optional<std::wstring> target = win32Path(path);
    if (!target) return std::nullopt;
    win::UniqueFileHandle file(::CreateFileW(target->c_str(), FILE_READ_ATTRIBUTES, kShareAll,
                                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                             nullptr));
    if (!file) return std::nullopt;
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
      const DWORD length = ::GetFinalPathNameByHandleW(
          file.get(), name.data(), static_cast<DWORD>(name.size()), FILE_NAME_NORMALIZED);
      if (length == 0) return std::nullopt;
      if (length < name.size()) {
        name.resize(length);
        return name;
      }
      name.resize(length);  // the length needed, terminator included
    }
  }
};

}  // namespace

std::optional<std::wstring> win32Path(std::wstring_view path) {
  return extendedPath(path, resolveCurrentFolder);
}

FileSystem& systemFileSystem() {
  static Win32FileSystem fileSystem;
  return fileSystem;
}

}  // namespace tidvale::fs

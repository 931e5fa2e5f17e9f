#include "scanners/win32_file_system.h"

#include <string_view>

#include "scanners/extended_path.h"
#include "scanners/path_text.h"
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

// The text to hand to a Win32 call: as given while it is short, the extended-length form of its
// full path once it could exceed the classic limit.
std::wstring win32Path(const std::wstring& path) {
  if (path.size() < kExtendedPathThreshold || hasDevicePrefix(path)) return path;
  const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring full(needed, L'\0');
  const DWORD written = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (written == 0 || written >= needed) return path;
  full.resize(written);
  return extendedLengthForm(full);
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

FsError errorOf(DWORD error) {
  switch (error) {
    case ERROR_SUCCESS:
      return FsError::None;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return FsError::NotFound;
    case ERROR_ACCESS_DENIED:
      return FsError::AccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return FsError::InUse;
    case ERROR_DIR_NOT_EMPTY:
      return FsError::NotEmpty;
    default:
      return FsError::Other;
  }
}

FsError resultOf(BOOL succeeded) {
  return succeeded ? FsError::None : errorOf(::GetLastError());
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
  // A listing of the path itself carries the tag too; wildcards would make it a pattern.
  if (path.find_first_of(L"*?") != std::wstring::npos) return false;
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
    // An empty path would list the current folder.
    if (path.empty()) return nullptr;
    const std::wstring folder = win32Path(path);
    WIN32_FIND_DATAW first{};
    win::UniqueFindHandle handle(::FindFirstFileExW(joinPath(folder, kListAllPattern).c_str(),
                                                    FindExInfoBasic, &first, FindExSearchNameMatch,
                                                    nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!handle) {
      // A folder without even "." and ".." (a drive root) lists nothing rather than failing.
      const DWORD error = ::GetLastError();
      const DWORD attributes = ::GetFileAttributesW(folder.c_str());
      if (error != ERROR_FILE_NOT_FOUND || attributes == INVALID_FILE_ATTRIBUTES ||
          (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return nullptr;
      }
    }
    return std::make_unique<Win32Listing>(std::move(handle), first);
  }

  FileStatus status(const std::wstring& path, bool followLinks) override {
    const std::wstring target = win32Path(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &data)) {
      return FileStatus{outcomeOf(::GetLastError())};
    }
    FileStatus status{StatusOutcome::Found, data.dwFileAttributes};
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      if (followLinks) return followedStatus(target);
      // A tag that cannot be read stays 0, which classifies the entry as a link: never entered.
      if (!readReparseTag(target, status.reparseTag)) status.reparseTag = 0;
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      status.size = combine(data.nFileSizeHigh, data.nFileSizeLow);
    }
    status.lastWriteTime = ticksOf(data.ftLastWriteTime);
    return status;
  }

  FsError removeFile(const std::wstring& path) override {
    return resultOf(::DeleteFileW(win32Path(path).c_str()));
  }

  FsError removeFolder(const std::wstring& path) override {
    return resultOf(::RemoveDirectoryW(win32Path(path).c_str()));
  }

  FsError setAttributes(const std::wstring& path, uint32_t attributes) override {
    return resultOf(::SetFileAttributesW(win32Path(path).c_str(), attributes));
  }
};

}  // namespace

FileSystem& systemFileSystem() {
  static Win32FileSystem fileSystem;
  return fileSystem;
}

}  // namespace tidvale::fs

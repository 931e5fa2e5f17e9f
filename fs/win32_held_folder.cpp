#include "fs/win32_held_folder.h"

#include <windows.h>
#include <winternl.h>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "fs/win32_file_id.h"
#include "win/unique_resource.h"

// Declared by the driver kit's headers only.
extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE folder, HANDLE event, PVOID apcRoutine,
                                               PVOID apcContext, PIO_STATUS_BLOCK io,
                                               PVOID buffer, ULONG length, ULONG infoClass,
                                               BOOLEAN returnSingleEntry, PUNICODE_STRING name,
                                               BOOLEAN restartScan);

namespace tidvale::fs {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A held folder is listed, its attributes read and changed, and it is deleted through its handle.
constexpr ACCESS_MASK kHoldAccess =
    FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | DELETE | SYNCHRONIZE;
// Held without the right to delete it, when another process keeps that right from us: its entries
// can still go, and only the folder itself stays.
constexpr ACCESS_MASK kHoldWithoutDeleteAccess = kHoldAccess & ~DELETE;
// A folder on the way to an entry, or one being measured: listed and gone through, nothing more,
// so that anyone else may still list, change or delete it.
constexpr ACCESS_MASK kPassAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// An entry removed as itself: its attributes are read and cleared, then it is deleted.
constexpr ACCESS_MASK kRemoveAccess =
    FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | DELETE | SYNCHRONIZE;
constexpr ULONG kOpenOptions =
    FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT;
// The common entry, listed as a plain file that is not read-only, is removed by opening it this
// way: it goes when the handle closes. Anything else (or a file that changed since it was listed
// and refuses the open) is removed step by step through its handle.
constexpr ULONG kDeleteFileOnCloseOptions =
    kOpenOptions | FILE_NON_DIRECTORY_FILE | FILE_DELETE_ON_CLOSE;
constexpr DWORD kRemovedStepByStep =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY;
// Directory listings are read through the handle in blocks of this size.
constexpr DWORD kListingBufferBytes = 64 * 1024;
constexpr NTSTATUS kStatusDeletePending = static_cast<NTSTATUS>(0xC0000056);
constexpr NTSTATUS kStatusNoSuchFile = static_cast<NTSTATUS>(0xC000000F);
constexpr NTSTATUS kStatusNoMoreFiles = static_cast<NTSTATUS>(0x80000006);
constexpr ULONG kFileIdBothDirectoryInformation = 37;
// A handle that only lists, for asking after one name.
constexpr ACCESS_MASK kLookupAccess = FILE_LIST_DIRECTORY | SYNCHRONIZE;
constexpr ULONG kLookupOptions =
    FILE_DIRECTORY_FILE | FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT;
// One entry with the longest name a component can have, and room to spare.
constexpr size_t kOneEntryBufferBytes = 4096;

FsError errorOfStatus(NTSTATUS status) {
  // A delete already pending (another removal got there first) means the entry is going away.
  if (status == kStatusDeletePending) return FsError::NotFound;
  return fsErrorOf(::RtlNtStatusToDosError(status));
}

UNICODE_STRING unicodeStringOf(const std::wstring& text) {
  UNICODE_STRING unicode;
  unicode.Buffer = const_cast<PWSTR>(text.c_str());
  unicode.Length = static_cast<USHORT>(text.size() * sizeof(wchar_t));
  unicode.MaximumLength = unicode.Length;
  return unicode;
}

// Opens `name` inside the folder `parent` without following a link at the name; an empty name
// opens `parent` again. Names are those a listing gave, exactly: a lookup that ignores case may
// also trim a trailing dot (Wine's does).
win::UniqueFileHandle openRelative(HANDLE parent, const std::wstring& name, ACCESS_MASK access,
                                   ULONG options, FsError& error) {
  // A name the counted string cannot hold names nothing.
  if (name.size() * sizeof(wchar_t) > UINT16_MAX) {
    error = FsError::NotFound;
    return win::UniqueFileHandle();
  }
  UNICODE_STRING objectName = unicodeStringOf(name);
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &objectName, 0, parent, nullptr);
  IO_STATUS_BLOCK io{};
  HANDLE handle = INVALID_HANDLE_VALUE;
  const NTSTATUS status = ::NtCreateFile(&handle, access, &attributes, &io, nullptr, 0, kShareAll,
                                         FILE_OPEN, options, nullptr, 0);
  if (!NT_SUCCESS(status)) {
    error = errorOfStatus(status);
    return win::UniqueFileHandle();
  }
  return win::UniqueFileHandle(handle);
}

win::UniqueFileHandle openPath(const std::wstring& path, ACCESS_MASK access, FsError& error) {
  win::UniqueFileHandle handle(
      ::CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle) error = fsErrorOf(::GetLastError());
  return handle;
}

bool readAttributes(HANDLE handle, FILE_ATTRIBUTE_TAG_INFO& info) {
  return ::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof(info)) != 0;
}

bool isPlainFolder(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

// Read-only entries cannot be deleted: the attribute is cleared through the handle first.
void clearReadOnly(HANDLE handle, DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_READONLY) == 0) return;
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = attributes & ~FILE_ATTRIBUTE_READONLY;
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  ::SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof(basic));
}

void restoreAttributes(HANDLE handle, DWORD attributes) {
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = attributes;
  ::SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof(basic));
}

// Marks the open entry for deletion; it goes when its last handle closes. A folder with entries
// is refused.
FsError deleteOnClose(HANDLE handle) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  if (::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                   sizeof(disposition))) {
    return FsError::None;
  }
  return fsErrorOf(::GetLastError());
}

// Whether a handle opened without following links is the entry itself: an entry that showed
// itself as a reparse point (in its folder's listing, or through its path) must be one through the
// handle too. Windows always opens the reparse point itself. Wine opens the target of a Linux
// folder link even so, and deleting through that handle would delete what the link leads to.
bool isTheEntryItself(DWORD shownAttributes, DWORD handleAttributes) {
  return (shownAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 ||
         (handleAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The attributes the path itself shows, or 0 when they cannot be read (the open then decides).
DWORD shownAttributesOf(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES ? 0 : attributes;
}

// Removes the open entry as itself; read-only is cleared first and put back when removal fails.
// Nothing is done when the handle is not the entry that `shownAttributes` describe.
FsError removeOpened(HANDLE handle, DWORD shownAttributes) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!readAttributes(handle, info)) return fsErrorOf(::GetLastError());
  if (!isTheEntryItself(shownAttributes, info.FileAttributes)) return FsError::Other;
  clearReadOnly(handle, info.FileAttributes);
  const FsError error = deleteOnClose(handle);
  if (error != FsError::None && (info.FileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
    restoreAttributes(handle, info.FileAttributes);
  }
  return error;
}

void fillEntry(const FILE_ID_BOTH_DIR_INFO& info, DirEntry& entry) {
  entry.name.assign(info.FileName, info.FileNameLength / sizeof(wchar_t));
  entry.attributes = info.FileAttributes;
  // For a reparse point the listing carries its tag where extended attributes would be.
  entry.reparseTag = (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? info.EaSize : 0;
  entry.size = (info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                   ? 0
                   : static_cast<int64_t>(info.EndOfFile.QuadPart);
  entry.lastWriteTime = info.LastWriteTime.QuadPart;
}

bool sameNameIgnoringCase(std::wstring_view a, std::wstring_view b) {
  return !a.empty() && a.size() == b.size() &&
         ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The entry `name` of the folder, as its listing shows it. A folder handle keeps the first name
// it is asked for and ignores later ones, so each question gets a fresh handle of its own.
StatusOutcome lookupIn(HANDLE folder, const std::wstring& name, DirEntry& entry) {
  if (name.empty() || name.size() * sizeof(wchar_t) > UINT16_MAX) return StatusOutcome::NotFound;
  FsError error = FsError::None;
  const win::UniqueFileHandle listing =
      openRelative(folder, L"", kLookupAccess, kLookupOptions, error);
  if (!listing) return StatusOutcome::Failed;
  alignas(FILE_ID_BOTH_DIR_INFO) std::byte buffer[kOneEntryBufferBytes];
  UNICODE_STRING mask = unicodeStringOf(name);
  IO_STATUS_BLOCK io{};
  const NTSTATUS status =
      ::NtQueryDirectoryFile(listing.get(), nullptr, nullptr, nullptr, &io, buffer, sizeof(buffer),
                             kFileIdBothDirectoryInformation, TRUE, &mask, TRUE);
  if (status == kStatusNoSuchFile || status == kStatusNoMoreFiles) return StatusOutcome::NotFound;
  if (!NT_SUCCESS(status)) return StatusOutcome::Failed;
  const auto& info = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer);
  fillEntry(info, entry);
  // The entry must be the one asked for, by its name or its short name, letter case aside: a
  // folder that matches more loosely (Wine drops a trailing dot when ignoring case) answers
  // nothing that can be trusted.
  const std::wstring_view shortName(info.ShortName, info.ShortNameLength / sizeof(wchar_t));
  if (!sameNameIgnoringCase(entry.name, name) && !sameNameIgnoringCase(shortName, name)) {
    return StatusOutcome::Failed;
  }
  return StatusOutcome::Found;
}

// Entries read through the folder's own handle, never through its path.
class HandleListing final : public FolderListing {
 public:
  explicit HandleListing(HANDLE folder) : folder_(folder), buffer_(kListingBufferBytes) {}

  ListStep next(DirEntry& entry) override {
    for (;;) {
      if (!current_) {
        if (done_) return ListStep::End;
        // The first block restarts the handle's listing: the same folder may have been listed
        // through it before (measured, then removed).
        const FILE_INFO_BY_HANDLE_CLASS infoClass =
            started_ ? FileIdBothDirectoryInfo : FileIdBothDirectoryRestartInfo;
        started_ = true;
        if (!::GetFileInformationByHandleEx(folder_, infoClass, buffer_.data(),
                                            kListingBufferBytes)) {
          done_ = true;
          return ::GetLastError() == ERROR_NO_MORE_FILES ? ListStep::End : ListStep::Error;
        }
        current_ = buffer_.data();
      }
      const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(current_);
      current_ = info->NextEntryOffset != 0 ? current_ + info->NextEntryOffset : nullptr;
      const std::wstring_view name(info->FileName, info->FileNameLength / sizeof(wchar_t));
      if (name == L"." || name == L"..") continue;
      fillEntry(*info, entry);
      return ListStep::Entry;
    }
  }

 private:
  HANDLE folder_;
  std::vector<std::byte> buffer_;
  const std::byte* current_ = nullptr;
  bool started_ = false;
  bool done_ = false;
};

Hold holdOpened(win::UniqueFileHandle handle);
template <typename Open>
Hold holdWith(Open open);

class Win32HeldFolder final : public HeldFolder {
 public:
  explicit Win32HeldFolder(win::UniqueFileHandle handle) : handle_(std::move(handle)) {}

  std::unique_ptr<FolderListing> list() override {
    return std::make_unique<HandleListing>(handle_.get());
  }

  Hold holdChild(const std::wstring& name) override {
    return holdWith([&](ACCESS_MASK access, FsError& error) {
      return openRelative(handle_.get(), name, access, kOpenOptions, error);
    });
  }

  Hold passChild(const std::wstring& name) override {
    FsError error = FsError::None;
    win::UniqueFileHandle handle =
        openRelative(handle_.get(), name, kPassAccess, kOpenOptions, error);
    if (!handle) {
      return Hold{error == FsError::NotFound ? HoldOutcome::Missing : HoldOutcome::Failed, nullptr,
                  error};
    }
    return holdOpened(std::move(handle));
  }

  FsError removeChild(const std::wstring& name, uint32_t listedAttributes) override {
    FsError error = FsError::None;
    if ((listedAttributes & kRemovedStepByStep) == 0) {
      if (openRelative(handle_.get(), name, kRemoveAccess, kDeleteFileOnCloseOptions, error)) {
        return FsError::None;  // deleted as the handle closed
      }
      if (error == FsError::NotFound) return error;
    }
    win::UniqueFileHandle child =
        openRelative(handle_.get(), name, kRemoveAccess, kOpenOptions, error);
    return child ? removeOpened(child.get(), listedAttributes) : error;
  }

  // Held only as a plain folder: nothing to compare.
  FsError removeSelf() override { return removeOpened(handle_.get(), 0); }

  StatusOutcome lookup(const std::wstring& name, DirEntry& entry) override {
    return lookupIn(handle_.get(), name, entry);
  }

  std::optional<FileId> identity() override { return fileIdOf(handle_.get()); }

 private:
  win::UniqueFileHandle handle_;
};

// Opens with `open(access, error)`, without the right to delete when that is refused, and keeps
// the handle only when it is a plain folder.
template <typename Open>
Hold holdWith(Open open) {
  FsError error = FsError::None;
  win::UniqueFileHandle handle = open(kHoldAccess, error);
  if (!handle && (error == FsError::InUse || error == FsError::AccessDenied)) {
    handle = open(kHoldWithoutDeleteAccess, error);
  }
  if (!handle) {
    return Hold{error == FsError::NotFound ? HoldOutcome::Missing : HoldOutcome::Failed, nullptr,
                error};
  }
  return holdOpened(std::move(handle));
}

// Keeps the handle only when it is a plain folder; anything else is removed as itself.
Hold holdOpened(win::UniqueFileHandle handle) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!readAttributes(handle.get(), info)) {
    return Hold{HoldOutcome::Failed, nullptr, fsErrorOf(::GetLastError())};
  }
  if (!isPlainFolder(info.FileAttributes)) return Hold{HoldOutcome::NotPlainFolder};
  return Hold{HoldOutcome::Held, std::make_unique<Win32HeldFolder>(std::move(handle))};
}

}  // namespace

FsError fsErrorOf(unsigned long win32Error) {
  switch (win32Error) {
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

Hold holdWin32Folder(const std::wstring& extendedPath) {
  const DWORD shown = shownAttributesOf(extendedPath);
  Hold hold = holdWith(
      [&](ACCESS_MASK access, FsError& error) { return openPath(extendedPath, access, error); });
  // A path that shows a reparse point held as a plain folder: the open followed a link.
  if (hold.outcome == HoldOutcome::Held && (shown & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return Hold{HoldOutcome::NotPlainFolder};
  }
  return hold;
}

Hold holdWin32VolumeRoot(const std::wstring& extendedRoot) {
  FsError error = FsError::None;
  win::UniqueFileHandle handle = openPath(extendedRoot, kPassAccess, error);
  if (!handle) {
    return Hold{error == FsError::NotFound ? HoldOutcome::Missing : HoldOutcome::Failed, nullptr,
                error};
  }
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!readAttributes(handle.get(), info)) {
    return Hold{HoldOutcome::Failed, nullptr, fsErrorOf(::GetLastError())};
  }
  if ((info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return Hold{HoldOutcome::Missing};
  return Hold{HoldOutcome::Held, std::make_unique<Win32HeldFolder>(std::move(handle))};
}

FsError removeWin32Entry(const std::wstring& extendedPath) {
  const DWORD shown = shownAttributesOf(extendedPath);
  FsError error = FsError::None;
  win::UniqueFileHandle handle = openPath(extendedPath, kRemoveAccess, error);
  return handle ? removeOpened(handle.get(), shown) : error;
}

}  // namespace tidvale::fs

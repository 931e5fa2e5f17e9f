#include "fs/win32_held_folder.h"

#include <windows.h>
#include <winternl.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "fs/open_rules.h"
#include "fs/win32_file_id.h"
#include "win/unique_resource.h"

// Declared by the driver kit's headers only.
extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE folder, HANDLE event, PVOID apcRoutine,
                                               PVOID apcContext, PIO_STATUS_BLOCK io, PVOID buffer,
                                               ULONG length, ULONG infoClass,
                                               BOOLEAN returnSingleEntry, PUNICODE_STRING name,
                                               BOOLEAN restartScan);

namespace tidvale::fs {
namespace {

static_assert(kOpenDirectoryFile == FILE_DIRECTORY_FILE);
static_assert(kOpenSynchronousIo == FILE_SYNCHRONOUS_IO_NONALERT);
static_assert(kOpenNonDirectoryFile == FILE_NON_DIRECTORY_FILE);
static_assert(kOpenDeleteOnClose == FILE_DELETE_ON_CLOSE);
static_assert(kOpenForBackupIntent == FILE_OPEN_FOR_BACKUP_INTENT);
static_assert(kOpenReparsePointItself == FILE_OPEN_REPARSE_POINT);
static_assert(kShareRead == FILE_SHARE_READ && kShareWrite == FILE_SHARE_WRITE &&
              kShareDelete == FILE_SHARE_DELETE);
static_assert(kAttributeReadOnly == FILE_ATTRIBUTE_READONLY &&
              kAttributeNormal == FILE_ATTRIBUTE_NORMAL &&
              kAttributeReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT);

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
constexpr ULONG kEntryOptions = createOptionsFor(OpenPurpose::Entry);
// An entry listed as anything but a plain file that is not read-only has its attributes read
// through its handle before it is deleted.
constexpr DWORD kCheckedBeforeDeletion =
    FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_READONLY;
// Directory listings are read through the handle in blocks of this size.
constexpr DWORD kListingBufferBytes = 64 * 1024;
constexpr NTSTATUS kStatusDeletePending = static_cast<NTSTATUS>(0xC0000056);
constexpr NTSTATUS kStatusNoSuchFile = static_cast<NTSTATUS>(0xC000000F);
constexpr NTSTATUS kStatusNoMoreFiles = static_cast<NTSTATUS>(0x80000006);
constexpr ULONG kFileIdBothDirectoryInformation = 37;
// A handle that only lists, for asking after one name.
constexpr ACCESS_MASK kLookupAccess = FILE_LIST_DIRECTORY | SYNCHRONIZE;
constexpr ULONG kLookupOptions = createOptionsFor(OpenPurpose::FolderListing);
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
                                   ULONG options, DWORD share, FsError& error) {
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
  const NTSTATUS status = ::NtCreateFile(&handle, access, &attributes, &io, nullptr, 0, share,
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

// The 64-bit file id that folder listings show for the open file.
std::optional<uint64_t> listedIdOf(HANDLE handle) {
  FILE_INTERNAL_INFORMATION info{};
  IO_STATUS_BLOCK io{};
  if (!NT_SUCCESS(
          ::NtQueryInformationFile(handle, &io, &info, sizeof(info), FileInternalInformation))) {
    return std::nullopt;
  }
  return static_cast<uint64_t>(info.IndexNumber.QuadPart);
}

// Opens the entry `listed` of the folder `parent` as itself, and keeps the handle only when it is
// that entry (see isListedEntry). An entry listed as a reparse point has its attributes read
// through the handle, which is how a link that the open followed shows itself.
win::UniqueFileHandle openListed(HANDLE parent, const DirEntry& listed, ACCESS_MASK access,
                                 DWORD share, FsError& error) {
  win::UniqueFileHandle handle =
      openRelative(parent, listed.name, access, kEntryOptions, share, error);
  if (!handle) return handle;
  const std::optional<uint64_t> id = listedIdOf(handle.get());
  FILE_ATTRIBUTE_TAG_INFO info{};
  if ((listed.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
      !readAttributes(handle.get(), info)) {
    error = fsErrorOf(::GetLastError());
    return win::UniqueFileHandle();
  }
  if (!id || !isListedEntry(listed, *id, info.FileAttributes)) {
    error = FsError::Changed;
    return win::UniqueFileHandle();
  }
  return handle;
}

bool isPlainFolder(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

void writeAttributes(HANDLE handle, DWORD attributes) {
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

// Removes the open entry as itself: read-only is cleared first (through the handle, never through
// a link) and put back when the removal fails.
FsError removeOpened(HANDLE handle) {
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!readAttributes(handle, info)) return fsErrorOf(::GetLastError());
  const DWORD deletable = attributesForDeletion(info.FileAttributes);
  if (deletable != info.FileAttributes) writeAttributes(handle, deletable);
  const FsError error = deleteOnClose(handle);
  if (error != FsError::None && deletable != info.FileAttributes) {
    writeAttributes(handle, info.FileAttributes);
  }
  return error;
}

// Removes the open entry, listed with `listedAttributes`: a plain file listed as not read-only is
// marked at once, and read through its handle only when that is refused (it became read-only).
FsError removeOpenedListed(HANDLE handle, DWORD listedAttributes) {
  if ((listedAttributes & kCheckedBeforeDeletion) == 0) {
    const FsError error = deleteOnClose(handle);
    if (error != FsError::AccessDenied) return error;
  }
  return removeOpened(handle);
}

// The attributes the path itself shows, or 0 when they cannot be read (the open then decides).
DWORD shownAttributesOf(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES ? 0 : attributes;
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
  entry.fileId = static_cast<uint64_t>(info.FileId.QuadPart);
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
      openRelative(folder, L"", kLookupAccess, kLookupOptions, kShareAll, error);
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

  Hold holdChild(const DirEntry& listed) override {
    return holdWith([&](ACCESS_MASK access, FsError& error) {
      return openListed(handle_.get(), listed, access, kShareAll, error);
    });
  }

  Hold passChild(const DirEntry& listed) override {
    return passWith(listed, shareModeFor(/*keepInPlace=*/false));
  }

  Hold pinChild(const DirEntry& listed) override {
    return passWith(listed, shareModeFor(/*keepInPlace=*/true));
  }

  FsError removeChild(const DirEntry& listed) override {
    FsError error = FsError::None;
    win::UniqueFileHandle child =
        openListed(handle_.get(), listed, kRemoveAccess, kShareAll, error);
    return child ? removeOpenedListed(child.get(), listed.attributes) : error;
  }

  // Held only as a plain folder: nothing to compare.
  FsError removeSelf() override { return removeOpened(handle_.get()); }

  StatusOutcome lookup(const std::wstring& name, DirEntry& entry) override {
    return lookupIn(handle_.get(), name, entry);
  }

  std::optional<FileId> identity() override { return fileIdOf(handle_.get()); }

 private:
  Hold passWith(const DirEntry& listed, DWORD share) {
    FsError error = FsError::None;
    win::UniqueFileHandle handle = openListed(handle_.get(), listed, kPassAccess, share, error);
    if (!handle) {
      return Hold{error == FsError::NotFound ? HoldOutcome::Missing : HoldOutcome::Failed, nullptr,
                  error};
    }
    return holdOpened(std::move(handle));
  }

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
  if (!handle) return error;
  // A path that shows a reparse point opened as something else: the open followed a link.
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!readAttributes(handle.get(), info)) return fsErrorOf(::GetLastError());
  if ((shown & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
      (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return FsError::Changed;
  }
  return removeOpened(handle.get());
}

}  // namespace tidvale::fs

#pragma once
// The rules of the Win32 held folders as plain arithmetic, so that they are tested on every build,
// also where Wine cannot act them out: how an entry is opened (never through a link), with which
// sharing, which attributes make a read-only entry deletable, and when an opened handle is the
// entry that was listed. The values are those of the Windows headers; the Win32 side checks them
// against its own.

#include <cstdint>

#include "fs/file_system.h"

namespace tidvale::fs {

// Create options of NtCreateFile.
inline constexpr uint32_t kOpenDirectoryFile = 0x00000001;       // FILE_DIRECTORY_FILE
inline constexpr uint32_t kOpenSynchronousIo = 0x00000020;       // FILE_SYNCHRONOUS_IO_NONALERT
inline constexpr uint32_t kOpenNonDirectoryFile = 0x00000040;    // FILE_NON_DIRECTORY_FILE
inline constexpr uint32_t kOpenDeleteOnClose = 0x00001000;       // FILE_DELETE_ON_CLOSE
inline constexpr uint32_t kOpenForBackupIntent = 0x00004000;     // FILE_OPEN_FOR_BACKUP_INTENT
inline constexpr uint32_t kOpenReparsePointItself = 0x00200000;  // FILE_OPEN_REPARSE_POINT

// Share modes.
inline constexpr uint32_t kShareRead = 0x1;    // FILE_SHARE_READ
inline constexpr uint32_t kShareWrite = 0x2;   // FILE_SHARE_WRITE
inline constexpr uint32_t kShareDelete = 0x4;  // FILE_SHARE_DELETE

enum class OpenPurpose {
  Entry,          // an entry of a held folder: held, gone through or removed as itself
  FolderListing,  // a folder opened again only to list it
};

// An entry is always opened as itself: a link or any other reparse point is never followed.
constexpr uint32_t createOptionsFor(OpenPurpose purpose) {
  constexpr uint32_t common = kOpenForBackupIntent | kOpenSynchronousIo;
  return purpose == OpenPurpose::Entry ? common | kOpenReparsePointItself
                                       : common | kOpenDirectoryFile;
}

// Others may do anything to what we hold, except, for a folder kept in place, rename or remove it
// (both need the right to delete, which this sharing refuses them).
constexpr uint32_t shareModeFor(bool keepInPlace) {
  return keepInPlace ? kShareRead | kShareWrite : kShareRead | kShareWrite | kShareDelete;
}

// The attributes to set so that a read-only entry can be deleted; nothing to change (the same
// value) when it is not read-only. An entry left with no attribute at all is given the normal
// one, since zero means "no change" to the call that sets them.
constexpr uint32_t attributesForDeletion(uint32_t attributes) {
  if ((attributes & kAttributeReadOnly) == 0) return attributes;
  const uint32_t cleared = attributes & ~kAttributeReadOnly;
  return cleared == 0 ? kAttributeNormal : cleared;
}

// Whether a handle opened without following links is the entry that was listed: the same file id,
// and an entry shown as a reparse point must be one through the handle too. Windows always opens
// the reparse point itself; Wine follows a Linux link even so, and acting through that handle
// would act on what the link leads to.
constexpr bool isListedEntry(const DirEntry& listed, uint64_t handleId, uint32_t handleAttributes) {
  if (listed.fileId != handleId) return false;
  return (listed.attributes & kAttributeReparsePoint) == 0 ||
         (handleAttributes & kAttributeReparsePoint) != 0;
}

}  // namespace tidvale::fs

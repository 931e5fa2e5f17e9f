#pragma once
// Holding folders for removal and removing entries as themselves, over handles opened without
// following links. Part of the Win32 file system behind the seam; paths are extended-length.

#include <string>

#include "fs/file_system.h"

namespace tidvale::fs {

Hold holdWin32Folder(const std::wstring& extendedPath);
// Holds a volume's or share's root folder to pass through it; a root is never a link, whatever
// it shows.
Hold holdWin32VolumeRoot(const std::wstring& extendedRoot);
FsError removeWin32Entry(const std::wstring& extendedPath);

// The seam's error for a failed Win32 call's error code.
FsError fsErrorOf(unsigned long win32Error);

}  // namespace tidvale::fs

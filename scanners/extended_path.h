#pragma once
// Extended-length path text ("\\?\C:\..." and "\\?\UNC\server\share\..."), which lets Win32 file
// calls reach paths longer than 260 units. Pure text, any thread.

#include <cstddef>
#include <string>
#include <string_view>

namespace tidvale::fs {

// Paths at least this long get the extended-length form before a Win32 call; below it the plain
// form keeps the usual Win32 name handling. Leaves room for the "\*" of a listing pattern.
inline constexpr size_t kExtendedPathThreshold = 240;

// True for text that already bypasses Win32 name parsing: "\\?\" and "\\.\" device paths.
bool hasDevicePrefix(std::wstring_view path);

// The extended-length form of an absolute, normalised path (as GetFullPathNameW returns it):
// "C:\x" gives "\\?\C:\x", "\\server\share\x" gives "\\?\UNC\server\share\x", and a path that
// already has a device prefix is returned unchanged.
std::wstring extendedLengthForm(std::wstring_view fullPath);

}  // namespace tidvale::fs

#pragma once
// Extended-length path text ("\\?\C:\..." and "\\?\UNC\server\share\..."). Every Win32 call of the
// file-system seam takes this form, so that Win32 name handling never rewrites what the caller
// wrote or what a listing returned: no trailing dots or spaces trimmed, no length limit. Pure
// text, any thread.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tidvale::fs {

// The prefixes of the extended forms of a drive path and of a UNC path.
inline constexpr std::wstring_view kExtendedPrefix = L"\\\\?\\";
inline constexpr std::wstring_view kExtendedUncPrefix = L"\\\\?\\UNC\\";

// How a path's text begins, which decides what it is relative to.
enum class PathRootKind {
  Device,         // "\\?\..." or "\\.\...": already past Win32 name handling, taken verbatim
  DriveAbsolute,  // "C:\..."
  Unc,            // "\\server\share\..."
  DriveRelative,  // "C:" or "C:dir": relative to that drive's current folder
  Rooted,         // "\dir": relative to the current drive
  Relative,       // "dir", "." or "": relative to the current folder
};

struct PathRoot {
  PathRootKind kind = PathRootKind::Relative;
  size_t length = 0;  // units of the text that name the root ("C:\", "\\server\share\", "C:")
};

// Reads the root of `path`; '/' counts as a separator wherever '\' does.
PathRoot splitPathRoot(std::wstring_view path);

// True for a path that names the same entry whatever the current folder or drive: a drive-absolute
// path, a UNC path with server and share, or a device path.
bool isFullyQualified(std::wstring_view path);

// True for text that already bypasses Win32 name parsing: "\\?\" and "\\.\" device paths.
bool hasDevicePrefix(std::wstring_view path);

// Resolves a root that depends on the process's current folders ("", "C:" or "\") to an absolute
// path; nothing when it cannot.
using CurrentFolderResolver = std::function<std::optional<std::wstring>(std::wstring_view root)>;

// The extended-length form of `path`: device paths verbatim; otherwise '/' read as '\', "." and
// ".." components and empty components resolved lexically, every other component kept exactly as
// written (trailing dots and spaces included). A root folder keeps its trailing separator
// ("\\?\C:\"). Nothing for an empty path, for text containing U+0000 (which names nothing a Win32
// call could see), or when a relative root cannot be resolved.
std::optional<std::wstring> extendedPath(std::wstring_view path,
                                         const CurrentFolderResolver& resolveCurrent);

// The plain Win32 form of an extended drive or UNC path ("\\?\C:\x" gives "C:\x",
// "\\?\UNC\server\share\x" gives "\\server\share\x"); any other text as it is.
std::wstring plainPath(std::wstring_view path);

}  // namespace tidvale::fs

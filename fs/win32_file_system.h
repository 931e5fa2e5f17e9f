#pragma once
// The real file system behind the seam, over Win32 file calls. Every call takes the extended-length
// form of its path, so the entry acted on is exactly the one named (names ending in a dot or a
// space, paths of any length); callers see their paths exactly as they gave them.

#include <optional>
#include <string>
#include <string_view>

#include "fs/file_system.h"

namespace tidvale::fs {

// The process-wide Win32 file system. Stateless, so any thread may use it at any time.
FileSystem& systemFileSystem();

// The text to hand to a Win32 file call for `path`: its extended-length form, with only the part
// that depends on the current folder resolved by the system. Nothing for a path that names
// nothing (empty, or containing U+0000). For Win32 file code outside the seam.
std::optional<std::wstring> win32Path(std::wstring_view path);

}  // namespace tidvale::fs

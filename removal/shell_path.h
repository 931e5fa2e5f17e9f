#pragma once
// The text the shell is handed for an undoable delete. The shell reads a path the Win32 way: it
// expands wildcards, trims a trailing dot or space from each name, and works within MAX_PATH. So
// it gets an entry's resolved full path only when that reading names exactly the entry that was
// resolved; a link is never handed over (the shell may move what it leads to). Pure text, any
// thread.

#include <optional>
#include <string>

#include "fs/path_resolver.h"

namespace tidvale {

// The shell's limit on a path, its terminator included.
inline constexpr size_t kShellPathLimit = 260;

// The plain full path of `target` ("C:\..." or "\\server\share\..."), or nothing when the shell
// would read it differently or it is a link.
std::optional<std::wstring> shellReadablePath(const fs::ResolvedEntry& target);

}  // namespace tidvale

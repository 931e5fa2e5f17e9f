#pragma once
// The safe recursive walk over the file-system seam. It never enters a symbolic link or a
// junction, skips folders it may not open and goes on with the rest, ends only the current
// folder's listing when advancing it fails, and takes every entry's size and attributes from the
// listing. Depth is bounded by an explicit stack, not by the thread's stack.

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "fs/file_system.h"

namespace tidvale::fs {

struct WalkEntry {
  // The root as given, then "\" and the names below it. For an entry whose name holds a
  // separator (see nameHoldsSeparator), the path of the folder that holds it instead: no path
  // names such an entry.
  const std::wstring& path;
  const DirEntry& entry;  // as the listing supplied it
  EntryKind kind;
  bool pathNamesEntry = true;  // false: `path` is the holding folder's, as above
};

// Returns whether to enter the entry; asked for every entry, honoured only for folders.
using WalkVisitor = std::function<bool(const WalkEntry&)>;

// Whether a listed name holds "\" or "/". Another system can write such a name on NTFS, and
// under Wine a Linux name can hold "\". Joined to its folder's path, it would name another entry
// (the real folder "a" for the name "a\b"), so the walks never join it: a folder of such a name
// is never entered, and a file of it is handed over under its folder's path only.
constexpr bool nameHoldsSeparator(std::wstring_view name) {
  return name.find_first_of(L"\\/") != std::wstring_view::npos;
}

enum class WalkOutcome {
  NotStarted,  // the root could not be opened as a folder; nothing was visited
  Finished,
  Cancelled,  // the flag was seen set before an entry; that entry and the rest were not visited
};

// The drive letter of "X:\..." or "\\?\X:\..."; nothing for any other form (UNC, relative).
std::optional<wchar_t> driveLetterOf(std::wstring_view path);

// Whether `path` names a drive's root ("X:\", "\\?\X:\", any trailing separators). "X:" alone
// names the drive's current folder, not its root.
bool isVolumeRoot(std::wstring_view path);

// How a walk treats the entry at `path` itself, from its own attributes: as classifyEntry, except
// that a volume's root is always the plain folder it is on Windows. Wine shows a drive whose
// folder is a Linux mount point (a FUSE-mounted volume, say) as a reparse point with tag 0; taken
// as a link, its whole drive would measure 0.
EntryKind classifyPath(std::wstring_view path, uint32_t attributes, uint32_t reparseTag);

// Visits every entry below `root` depth first, each folder's entries before its siblings' rest.
// The root itself is not visited. `cancel` is read before every entry. Runs on the caller's
// thread; never throws beyond allocation failure. walker_parallel.h lists the folders of the same
// walk on several threads.
WalkOutcome walkTree(FileSystem& fileSystem, const std::wstring& root,
                     const std::atomic<bool>& cancel, const WalkVisitor& visit);

}  // namespace tidvale::fs

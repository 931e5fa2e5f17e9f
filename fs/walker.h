#pragma once
// The safe recursive walk over the file-system seam. It never enters a symbolic link or a
// junction, skips folders it may not open and goes on with the rest, ends only the current
// folder's listing when advancing it fails, and takes every entry's size and attributes from the
// listing. Depth is bounded by an explicit stack, not by the thread's stack.

#include <atomic>
#include <functional>
#include <string>

#include "fs/file_system.h"

namespace tidvale::fs {

struct WalkEntry {
  const std::wstring& path;  // the root as given, then "\" and the names below it
  const DirEntry& entry;     // as the listing supplied it
  EntryKind kind;
};

// Returns whether to enter the entry; asked for every entry, honoured only for folders.
using WalkVisitor = std::function<bool(const WalkEntry&)>;

enum class WalkOutcome {
  NotStarted,  // the root could not be opened as a folder; nothing was visited
  Finished,
  Cancelled,  // the flag was seen set before an entry; that entry and the rest were not visited
};

// Visits every entry below `root` depth first, each folder's entries before its siblings' rest.
// The root itself is not visited. `cancel` is read before every entry. Runs on the caller's
// thread; never throws beyond allocation failure.
WalkOutcome walkTree(FileSystem& fileSystem, const std::wstring& root,
                     const std::atomic<bool>& cancel, const WalkVisitor& visit);

}  // namespace tidvale::fs

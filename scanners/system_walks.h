#pragma once
// measurePath, walkFiles and fileTimeToUnixSeconds on the real file system, stopped by the
// service's cancel flag. Background operation threads, several at once; nothing here fails:
// missing paths, links and unreadable folders count nothing.

#include <cstdint>
#include <string>

#include "core/service_state.h"
#include "scanners/path_walks.h"

namespace tidvale {

// Bytes of a file, or of all regular files below a folder without entering links; 0 for a link,
// a missing or unreadable path. A cancel seen during the walk returns the partial sum.
int64_t measurePath(ServiceState& state, const std::wstring& path);

// The filtered walk below `root` (hidden, system, reparse points, links and the folders of
// skippedFolderNames() left out), stopping when the cancel flag is seen set.
void walkFiles(ServiceState& state, const std::wstring& root, const FileVisitor& visit);

// Last-write time of the path, following links, in Unix seconds; 0 when it cannot be read.
int64_t fileTimeToUnixSeconds(const std::wstring& path);

}  // namespace tidvale

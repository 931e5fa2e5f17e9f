#include "scanners/path_walks.h"

#include <memory>
#include <vector>

#include "core/lower_case.h"
#include "core/saturating.h"
#include "fs/walker.h"
#include "fs/walker_parallel.h"

namespace tidvale {
namespace {

// Size of a regular file, following links; 0 when it cannot be read.
int64_t followedFileSize(fs::FileSystem& fileSystem, const std::wstring& path) {
  const fs::FileStatus status = fileSystem.status(path, /*followLinks=*/true);
  return status.exists() ? status.size : 0;
}

}  // namespace

const std::set<std::wstring>& skippedFolderNames() {
  static const std::set<std::wstring> names{
      L".git",    L"node_modules", L"$recycle.bin", L"system volume information",
      L"windows", L"appdata",      L".cache",       L".gradle",
      L".cargo",  L".rustup",      L"programdata",  L"$windows.~bt",
  };
  return names;
}

int64_t measurePath(fs::FileSystem& fileSystem, const std::wstring& path,
                    const std::atomic<bool>& cancel) {
  const fs::FileStatus status = fileSystem.status(path, /*followLinks=*/false);
  if (!status.exists()) return 0;

  switch (fs::classifyPath(path, status.attributes, status.reparseTag)) {
    case fs::EntryKind::Symlink:
    case fs::EntryKind::Junction:
    case fs::EntryKind::OtherLink:
      return 0;
    case fs::EntryKind::File:
      return followedFileSize(fileSystem, path);
    case fs::EntryKind::Folder:
      break;
  }

  int64_t total = 0;
  fs::walkTreeInOrder(
      fileSystem, path, cancel, [](const fs::DirEntry&, fs::EntryKind) { return true; },
      [&total](const fs::WalkEntry& item) {
        // The listing's size is the file's own length, counted also when no path can name the
        // file; a link is never entered by the walker.
        if (item.kind == fs::EntryKind::File) total = addSize(total, item.entry.size);
      });
  return total;
}

void walkFiles(fs::FileSystem& fileSystem, const std::wstring& root,
               const std::atomic<bool>& cancel, const FileVisitor& visit) {
  // Attributes come from the listing: the same bits a second query would return. The rule runs
  // on the walk's listing threads and reads only the entry and the fixed set of names.
  const fs::EnterRule enter = [](const fs::DirEntry& entry, fs::EntryKind kind) {
    return (entry.attributes & kWalkHiddenAttributes) == 0 && kind == fs::EntryKind::Folder &&
           skippedFolderNames().count(toLowerUnits(entry.name)) == 0;
  };
  fs::walkTreeInOrder(fileSystem, root, cancel, enter, [&](const fs::WalkEntry& item) {
    // A file that no path can name is never reported.
    if (item.kind == fs::EntryKind::File && item.pathNamesEntry &&
        (item.entry.attributes & kWalkHiddenAttributes) == 0) {
      visit(item.path, item.entry.size);
    }
  });
}

int64_t fileTimeToUnixSeconds(fs::FileSystem& fileSystem, const std::wstring& path) {
  const fs::FileStatus status = fileSystem.status(path, /*followLinks=*/true);
  if (!status.exists()) return 0;
  return unixSecondsFromFileTime(status.lastWriteTime);
}

}  // namespace tidvale

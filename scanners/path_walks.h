#pragma once
// Path measurement, the filtered file walk and file times, over the file-system seam. These are
// the cores; scanners/system_walks.h binds them to the real file system and the service's cancel
// flag. Any thread, several at once; nothing here fails: what cannot be read counts nothing.

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "fs/file_system.h"

namespace tidvale {

// Windows file times count 100 ns ticks from 1601-01-01; Unix seconds count from 1970-01-01.
inline constexpr int64_t kFileTimeTicksPerSecond = 10'000'000;
inline constexpr int64_t kFileTimeEpochToUnixEpochSeconds = 11'644'473'600;

// The walk's hidden test: hidden, system or reparse point (0x406).
inline constexpr uint32_t kWalkHiddenAttributes =
    fs::kAttributeHidden | fs::kAttributeSystem | fs::kAttributeReparsePoint;

// Lower-case folder names that walkFiles never enters below its root. Built once, on first use,
// safely from any number of threads; lives for the process.
const std::set<std::wstring>& skippedFolderNames();

// Bytes held by a file (its length) or a folder (all regular files below it, without entering
// links). A link itself, a missing path or an unreadable one is 0. A set `cancel` stops the walk
// and the partial sum is returned.
int64_t measurePath(fs::FileSystem& fileSystem, const std::wstring& path,
                    const std::atomic<bool>& cancel);

// Full path and size of one reported file.
using FileVisitor = std::function<void(const std::wstring& path, int64_t size)>;

// Calls `visit` for every regular file below `root` that is not hidden, system or a reparse
// point, leaving out everything inside links, hidden or system folders and folders named in
// skippedFolderNames(). The root itself is never filtered. Stops when `cancel` is seen set.
void walkFiles(fs::FileSystem& fileSystem, const std::wstring& root,
               const std::atomic<bool>& cancel, const FileVisitor& visit);

// Seconds since 1970-01-01 UTC of a file time (signed, truncating toward zero).
constexpr int64_t unixSecondsFromFileTime(int64_t ticks) {
  return ticks / kFileTimeTicksPerSecond - kFileTimeEpochToUnixEpochSeconds;
}

// The path's last-write time, following links, in Unix seconds; 0 when it cannot be read.
int64_t fileTimeToUnixSeconds(fs::FileSystem& fileSystem, const std::wstring& path);

}  // namespace tidvale

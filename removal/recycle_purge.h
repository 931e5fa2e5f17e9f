#pragma once
// Removing for good the item just sent to a drive's Recycle Bin, found through the bin's index
// files. Over the file-system seam; any thread.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fs/file_system.h"

namespace tidvale {

// The first bytes of a file (at most kRecycleIndexMaxBytes, read once); empty when it cannot be
// read.
using IndexFileReader = std::function<std::vector<uint8_t>(const std::wstring& path)>;

// Finds, in `path`'s drive's "$Recycle.Bin" (every user's folder), the index entry of `path` with
// the latest deletion time, removes its item with everything in it, then its index file. False
// when `path` has no drive letter, no entry matches, or the item is still there.
bool purgeFromRecycleBin(fs::FileSystem& fileSystem, const IndexFileReader& readIndexFile,
                         const std::wstring& path);

}  // namespace tidvale

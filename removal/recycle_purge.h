#pragma once
// Removing for good the item just sent to a drive's Recycle Bin, found through the bin's index
// files. Over the file-system seam; any thread.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "removal/checked_removal.h"

namespace tidvale {

// The first bytes of a file (at most kRecycleIndexMaxBytes, read once); empty when it cannot be
// read.
using IndexFileReader = std::function<std::vector<uint8_t>(const std::wstring& path)>;

// Finds, in the folder of the user `userSid` (a SID in text form) of `path`'s drive's
// "$Recycle.Bin", the index entry of `path` with the latest deletion time, removes its item with
// everything in it, then its index file. Other users' folders are never looked at: their index
// files can name any path. Everything goes through `removal`: the folder is reached without a
// link on the way, and the item is resolved, measured and removed with the identity checks of
// any other removal, and only when the listings show it with `fileId` (the id of what was just
// recycled). False when `path` has no drive letter, no entry matches, the item is missing (a
// stale index file: nothing was purged), is another file, is refused, or is still there; the
// index file then stays.
bool purgeFromRecycleBin(CheckedRemoval& removal, const IndexFileReader& readIndexFile,
                         const std::wstring& userSid, const std::wstring& path, uint64_t fileId);

}  // namespace tidvale

#pragma once
// Removing for good the item just sent to a drive's Recycle Bin, found through the bin's index
// files. Over the file-system seam; any thread.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fs/path_resolver.h"

namespace tidvale {

// The first bytes of a file (at most kRecycleIndexMaxBytes, read once); empty when it cannot be
// read.
using IndexFileReader = std::function<std::vector<uint8_t>(const std::wstring& path)>;

// Finds, in the folder of the user `userSid` (a SID in text form) of `path`'s drive's
// "$Recycle.Bin", the index entry of `path` with the latest deletion time, removes its item with
// everything in it, then its index file. Other users' folders are never looked at: their index
// files can name any path. The folder is reached through `resolver`, so a link on the way or a
// folder that is a link ends the purge. False when `path` has no drive letter, no entry matches,
// or the item is still there.
bool purgeFromRecycleBin(fs::PathResolver& resolver, const IndexFileReader& readIndexFile,
                         const std::wstring& userSid, const std::wstring& path);

}  // namespace tidvale

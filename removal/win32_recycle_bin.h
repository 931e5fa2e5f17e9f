#pragma once
// The Windows Recycle Bin behind RecycleBin, through the shell and the bins' own index files.
// Shell calls need COM on the calling thread (each background call has it).

#include <cstdint>
#include <string>
#include <vector>

#include "removal/recycle_bin.h"

namespace tidvale {

// A Recycle Bin that is used on one thread at a time.
RecycleBin& win32RecycleBin();

// The first bytes of the file at `path` (at most the index size), read once; empty on failure.
std::vector<uint8_t> readRecycleIndexFile(const std::wstring& path);

}  // namespace tidvale

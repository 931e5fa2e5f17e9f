#pragma once
// The identities that a removal must never take: the protected folders themselves, found with
// every link followed, and every folder that holds one, up to its volume root. Removal compares a
// target's identity with these, so no other name of a protected folder (another drive letter, a
// share, a short name, a different letter case) gets past. Platform-neutral over the seam.

#include <set>
#include <string>
#include <vector>

#include "fs/file_system.h"

namespace tidvale::fs {

// Folders that cannot be found are left out; empty texts are ignored.
std::set<FileId> protectedIdentities(FileSystem& fileSystem,
                                     const std::vector<std::wstring>& folders);

}  // namespace tidvale::fs

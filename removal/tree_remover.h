#pragma once
// Removes a file or a folder with everything in it, never following a link: links of every kind
// (symbolic links, junctions, any reparse point that stands for another name) are removed as
// themselves and what they lead to is untouched. Each folder is held open while its entries are
// removed and its entries are reached through it, so a folder swapped for a link after it was
// listed can never lead the removal outside the tree. Read-only, hidden and system entries are
// removed too. Any thread; never throws beyond allocation failure.
//
// With a pool, the tree is emptied on all of the pool's threads: each folder is listed by one of
// them, and its subfolders and chunks of its files and links are taken up by any. The removal of
// many small files is bound by the system's per-call cost, not by the disk. A folder is marked for
// removal only after everything it held has gone.

#include <memory>
#include <string>

#include "core/task_pool.h"
#include "fs/file_system.h"
#include "removal/measured_tree.h"

namespace tidvale {

struct TreeRemoval {
  fs::FsError firstError = fs::FsError::None;  // the first failure met; None when all went
  bool failed() const { return firstError != fs::FsError::None; }
};

// Removes `path`. A path where nothing exists is no failure. Goes on past entries it cannot
// remove, so that a folder with one file in use loses everything else.
TreeRemoval removeTree(fs::FileSystem& fileSystem, const std::wstring& path);

// Empties the held folder and marks it for removal: it is gone once the caller releases it
// (unless something in it stayed, or another process keeps it). Until then, what is left of it
// can still be measured through it. With `measured`, only the entries it holds are taken; any
// other stays, and counts as a failure (FsError::Changed). With `pool`, the work goes on its
// threads (a folder's removeChild is then called from several, for distinct entries).
TreeRemoval removeHeldTree(fs::HeldFolder& folder, const MeasuredTree* measured = nullptr,
                           TaskPool* pool = nullptr);

}  // namespace tidvale

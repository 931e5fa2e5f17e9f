#pragma once
// The Recycle Bin as the deletion routine uses it: emptied whole, measured per drive, handed a
// path for an undoable delete, and purged of what was just recycled. The Win32 one is
// win32RecycleBin(); tests substitute their own. Used on the calling thread only.

#include <cstdint>
#include <string>

#include "removal/checked_removal.h"

namespace tidvale {

struct EmptyBinsResult {
  bool succeeded = false;
  int64_t bytesBefore = 0;  // what the bins of all drives held before emptying
};

class RecycleBin {
 public:
  virtual ~RecycleBin() = default;
  // Empties the Recycle Bins of every drive.
  virtual EmptyBinsResult emptyAll() = 0;
  // Bytes held by the Recycle Bin of `path`'s drive; 0 when unknown.
  virtual int64_t bytesOnDriveOf(const std::wstring& path) = 0;
  // Whether the shell reported a complete, unaborted undoable delete of `path`.
  virtual bool recycle(const std::wstring& path) = 0;
  // Whether the newest Recycle Bin copy of `path`, which must be the file the listings show with
  // `fileId` (the shell moves an item within its volume, so it keeps its id), was removed for
  // good, through `removal`.
  virtual bool purge(const std::wstring& path, uint64_t fileId, CheckedRemoval& removal) = 0;
};

}  // namespace tidvale

#pragma once
// The Recycle Bin as the deletion routine uses it: emptied whole, measured per drive, handed a
// path for an undoable delete, and purged of what was just recycled. The Win32 one is
// win32RecycleBin(); tests substitute their own. Used on the calling thread only.

#include <cstdint>
#include <string>

#include "fs/path_resolver.h"

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
  // Whether the newest Recycle Bin copy of `path` was removed for good; the bin's folders are
  // reached through `resolver`.
  virtual bool purge(const std::wstring& path, fs::PathResolver& resolver) = 0;
};

}  // namespace tidvale

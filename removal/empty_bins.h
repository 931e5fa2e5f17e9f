#pragma once
// Emptying the Recycle Bins of all drives, over the two shell calls it takes. Any thread.

#include <cstdint>

#include "removal/recycle_bin.h"

namespace tidvale {

struct BinQuery {
  bool succeeded = false;
  int64_t items = 0;
  int64_t bytes = 0;
};

// The shell's Recycle Bin calls for all drives at once.
class ShellBinCalls {
 public:
  virtual ~ShellBinCalls() = default;
  virtual BinQuery queryAll() = 0;
  // Whether the shell's empty call returned a non-negative result.
  virtual bool emptyAll() = 0;
};

// Asks what the bins hold, then empties them. Bins known to be empty are left alone and count as
// emptied: the shell reports an error for emptying empty bins, where nothing failed.
EmptyBinsResult emptyAllRecycleBins(ShellBinCalls& shell);

}  // namespace tidvale

#pragma once
// The memory optimiser's reply, apart from the Windows calls behind its figures. Any thread.

#include <cstdint>

#include "channels/encodable_value.h"

namespace tidvale::system {

struct OptimizerFigures {
  int64_t usedBefore = 0;  // "used" of the report taken before trimming, bytes
  int64_t usedAfter = 0;   // "used" of the report taken after the wait, bytes
  uint32_t trimmed = 0;    // processes whose working set was emptied
};

// before − after, or 0 when memory use did not drop (it may grow while the optimiser waits).
int64_t freedBytes(int64_t usedBefore, int64_t usedAfter);

// {"ok": true, "error": "", "before", "after", "freed" (64-bit), "trimmed" (32-bit)}: nothing the
// optimiser meets is an error, it only shows in smaller figures.
EncodableMap optimizerReplyMap(const OptimizerFigures& figures);

}  // namespace tidvale::system

#pragma once
// The methods "scanLargeFiles", "scanDuplicates" and "analyzeDisk" on this machine's file system.
// Background operation threads; each honours the cancel flag, reports progress through `state`
// and never fails (what cannot be read only shrinks the reply).

#include <cstdint>
#include <string>

#include "channels/encodable_value.h"
#include "core/service_state.h"

namespace tidvale {

// {"items", "scanned", "cancelled"}: the 400 largest files of at least `minSize` bytes below
// `root`, largest first.
EncodableMap scanLargeFiles(ServiceState& state, const std::string& root, int64_t minSize);

// {"groups", "scanned", "wasted", "cancelled"}: files of at least `minSize` bytes below `root`
// with identical content, hashed by a small pool of `workers` threads (0: one per processor).
EncodableMap scanDuplicates(ServiceState& state, const std::string& root, int64_t minSize,
                            size_t workers = 0);

// The size tree of `path`, `depth` levels deep, as the root's node map plus "cancelled" and
// "scanned".
EncodableMap analyzeDisk(ServiceState& state, const std::string& path, int64_t depth);

}  // namespace tidvale

#pragma once
// Data runs: where the clusters of a non-resident attribute lie on the volume.

#include <cstdint>
#include <vector>

#include "fs/mft/little_endian.h"

namespace tidvale::fs::mft {

inline constexpr int64_t kSparseRun = -1;

struct DataRun {
  uint64_t vcn = 0;     // first cluster of the attribute that the run holds
  uint64_t length = 0;  // clusters
  int64_t lcn = 0;      // first cluster on the volume, or kSparseRun (no clusters: zeros)
};

// Appends the runs encoded in `encoded` to `runs`, the first one starting at cluster `startVcn`
// of the attribute. Every run must lie inside a volume of `volumeClusters` clusters and the runs
// must not overflow; at most `maxRuns` are accepted in all. False (with `runs` partly appended)
// when the encoding is broken in any way.
bool decodeDataRuns(Bytes encoded, uint64_t startVcn, uint64_t volumeClusters, size_t maxRuns,
                    std::vector<DataRun>& runs);

}  // namespace tidvale::fs::mft

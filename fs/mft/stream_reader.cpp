#include "fs/mft/stream_reader.h"

#include <algorithm>
#include <cstring>

namespace tidvale::fs::mft {

bool checkContiguous(const std::vector<DataRun>& runs) {
  uint64_t next = 0;
  for (const DataRun& run : runs) {
    if (run.vcn != next) return false;
    next = run.vcn + run.length;  // decodeDataRuns already refused overflowing runs
  }
  return true;
}

bool checkAllocatedAndDisjoint(const std::vector<DataRun>& runs) {
  std::vector<DataRun> byCluster(runs);
  std::sort(byCluster.begin(), byCluster.end(),
            [](const DataRun& a, const DataRun& b) { return a.lcn < b.lcn; });
  uint64_t free = 0;  // the first cluster after the runs seen so far
  for (const DataRun& run : byCluster) {
    if (run.lcn == kSparseRun || static_cast<uint64_t>(run.lcn) < free) return false;
    free = static_cast<uint64_t>(run.lcn) + run.length;  // decodeDataRuns bounded both
  }
  return true;
}

uint64_t coveredBytes(const std::vector<DataRun>& runs, uint32_t bytesPerCluster) {
  if (runs.empty()) return 0;
  const uint64_t clusters = runs.back().vcn + runs.back().length;
  if (clusters > UINT64_MAX / bytesPerCluster) return UINT64_MAX;
  return clusters * bytesPerCluster;
}

bool readStream(ByteSource& source, const std::vector<DataRun>& runs, uint32_t bytesPerCluster,
                uint64_t offset, std::span<uint8_t> into) {
  const uint64_t covered = coveredBytes(runs, bytesPerCluster);
  if (offset > covered || into.size() > covered - offset) return false;
  // The run holding `offset`: the last one starting at or before its cluster.
  auto run = std::upper_bound(runs.begin(), runs.end(), offset / bytesPerCluster,
                              [](uint64_t vcn, const DataRun& r) { return vcn < r.vcn; });
  if (run == runs.begin()) return false;
  --run;
  while (!into.empty()) {
    if (run == runs.end()) return false;
    const uint64_t runStart = run->vcn * bytesPerCluster;
    const uint64_t runEnd = runStart + run->length * bytesPerCluster;
    const size_t piece = static_cast<size_t>(std::min<uint64_t>(into.size(), runEnd - offset));
    if (run->lcn == kSparseRun) {
      std::memset(into.data(), 0, piece);
    } else {
      const uint64_t at = static_cast<uint64_t>(run->lcn) * bytesPerCluster + (offset - runStart);
      if (!source.read(at, into.first(piece))) return false;
    }
    into = into.subspan(piece);
    offset += piece;
    ++run;
  }
  return true;
}

}  // namespace tidvale::fs::mft

#pragma once
// Reads a range of a non-resident stream (the table itself, the upper-case table) through its
// data runs, one volume read per run the range touches.

#include <cstdint>
#include <span>
#include <vector>

#include "fs/mft/byte_source.h"
#include "fs/mft/data_runs.h"

namespace tidvale::fs::mft {

// `runs` must start at cluster 0 and follow each other without gaps (checkContiguous). Sparse runs
// read as zeros. False when the range lies past the runs or the source fails.
bool readStream(ByteSource& source, const std::vector<DataRun>& runs, uint32_t bytesPerCluster,
                uint64_t offset, std::span<uint8_t> into);

// Whether `runs` start at cluster 0 and each starts where the previous one ended.
bool checkContiguous(const std::vector<DataRun>& runs);

// Whether no two runs that hold clusters share one, and none is sparse: the table's own data
// must hold each of its records in clusters of its own.
bool checkAllocatedAndDisjoint(const std::vector<DataRun>& runs);

// Bytes the runs cover, or nothing sensible (UINT64_MAX) when that overflows.
uint64_t coveredBytes(const std::vector<DataRun>& runs, uint32_t bytesPerCluster);

}  // namespace tidvale::fs::mft

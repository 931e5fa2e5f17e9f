#pragma once
// Where a volume's master file table lies: its length and runs from record 0, with the further
// pieces of its runs that its attribute list (in the record, or in clusters of its own as on a
// fragmented table) puts in extension records. The runs must lie inside the volume, follow each
// other without gaps, hold clusters of their own (none shared, none sparse) and hold the whole
// table, whose length must allow the user records; nothing is allocated for what they merely
// claim.

#include <cstdint>
#include <span>
#include <vector>

#include "fs/mft/boot_sector.h"
#include "fs/mft/byte_source.h"
#include "fs/mft/data_runs.h"

namespace tidvale::fs::mft {

// A stream's length and where it lies, from the pieces of its unnamed data attribute.
struct StreamPlace {
  uint64_t size = 0;
  std::vector<DataRun> runs;
};

// Appends to `place` the piece of the unnamed data stream that starts at `startVcn` in the record
// read at `bytes` (its fixups applied here); the first piece also gives the stream's length. A
// piece after the first must lie in an extension of record `base`. False when the record or the
// piece is damaged or missing.
bool readDataPlace(std::span<uint8_t> bytes, uint64_t startVcn, uint64_t volumeClusters,
                   StreamPlace& place, uint32_t base = 0);

// The table's place and its length in records. Null on success, else why not.
const char* readTablePlace(ByteSource& source, const VolumeGeometry& geometry, StreamPlace& table,
                           uint32_t& recordCount);

}  // namespace tidvale::fs::mft

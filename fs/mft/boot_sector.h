#pragma once
// The NTFS boot sector: the volume's geometry and where its master file table starts. Wine's raw
// volumes do not answer FSCTL_GET_NTFS_VOLUME_DATA, so the reader takes these from the sector.

#include <cstdint>
#include <optional>

#include "fs/mft/little_endian.h"

namespace tidvale::fs::mft {

inline constexpr size_t kBootSectorBytes = 512;
// The update sequence protects every 512-byte stride of a record, whatever the sector size.
inline constexpr uint32_t kFixupStride = 512;

struct VolumeGeometry {
  uint32_t bytesPerSector = 0;
  uint32_t bytesPerCluster = 0;
  uint32_t recordSize = 0;  // bytes of one file record
  uint64_t volumeBytes = 0;
  uint64_t mftOffset = 0;  // byte offset of the table's first cluster
  uint64_t serialNumber = 0;

  uint64_t clusterCount() const { return volumeBytes / bytesPerCluster; }
};

// The geometry of an NTFS boot sector, or nothing when `sector` is not one or describes a volume
// no reader should trust (sizes that are not powers of two, a table outside the volume).
std::optional<VolumeGeometry> parseBootSector(Bytes sector);

}  // namespace tidvale::fs::mft

#include "fs/mft/boot_sector.h"

#include <cstring>

namespace tidvale::fs::mft {
namespace {

constexpr char kOemId[] = "NTFS    ";
constexpr size_t kOemIdAt = 3;
constexpr size_t kBytesPerSectorAt = 0x0B;
constexpr size_t kSectorsPerClusterAt = 0x0D;
constexpr size_t kTotalSectorsAt = 0x28;
constexpr size_t kMftClusterAt = 0x30;
constexpr size_t kClustersPerRecordAt = 0x40;
constexpr size_t kSerialNumberAt = 0x48;
constexpr size_t kSignatureAt = 0x1FE;
constexpr uint16_t kSignature = 0xAA55;

constexpr uint32_t kLargestCluster = 2u << 20;
constexpr uint32_t kLargestRecord = 64u << 10;

constexpr bool isPowerOfTwo(uint64_t value) {
  return value != 0 && (value & (value - 1)) == 0;
}

// A byte above 0x80 stands for a negative power of two: 2^(256 - byte) (clusters of 64 KiB and up).
std::optional<uint32_t> sectorsPerCluster(uint8_t raw) {
  if (raw <= 0x80) return raw;
  const unsigned shift = 256u - raw;
  if (shift > 31) return std::nullopt;
  return 1u << shift;
}

// A positive count of clusters, or a negative power of two of bytes (records smaller than a
// cluster).
std::optional<uint64_t> recordBytes(int8_t raw, uint32_t bytesPerCluster) {
  if (raw > 0) return static_cast<uint64_t>(raw) * bytesPerCluster;
  const unsigned shift = static_cast<unsigned>(-static_cast<int>(raw));
  if (shift > 31) return std::nullopt;
  return uint64_t{1} << shift;
}

}  // namespace

std::optional<VolumeGeometry> parseBootSector(Bytes sector) {
  if (sector.size() < kBootSectorBytes) return std::nullopt;
  if (std::memcmp(sector.data() + kOemIdAt, kOemId, sizeof kOemId - 1) != 0) return std::nullopt;
  if (readU16(sector, kSignatureAt) != kSignature) return std::nullopt;

  VolumeGeometry geometry;
  geometry.bytesPerSector = readU16(sector, kBytesPerSectorAt);
  if (!isPowerOfTwo(geometry.bytesPerSector) || geometry.bytesPerSector < 256 ||
      geometry.bytesPerSector > 4096) {
    return std::nullopt;
  }
  const std::optional<uint32_t> perCluster = sectorsPerCluster(sector[kSectorsPerClusterAt]);
  if (!perCluster || !isPowerOfTwo(*perCluster)) return std::nullopt;
  const uint64_t clusterBytes = uint64_t{*perCluster} * geometry.bytesPerSector;
  if (clusterBytes > kLargestCluster) return std::nullopt;
  geometry.bytesPerCluster = static_cast<uint32_t>(clusterBytes);

  const std::optional<uint64_t> record =
      recordBytes(static_cast<int8_t>(sector[kClustersPerRecordAt]), geometry.bytesPerCluster);
  if (!record || !isPowerOfTwo(*record) || *record < kFixupStride || *record > kLargestRecord) {
    return std::nullopt;
  }
  geometry.recordSize = static_cast<uint32_t>(*record);

  const uint64_t sectors = readU64(sector, kTotalSectorsAt);
  if (sectors > UINT64_MAX / geometry.bytesPerSector) return std::nullopt;
  geometry.volumeBytes = sectors * geometry.bytesPerSector;

  const uint64_t mftCluster = readU64(sector, kMftClusterAt);
  if (mftCluster >= geometry.clusterCount()) return std::nullopt;
  geometry.mftOffset = mftCluster * geometry.bytesPerCluster;
  if (!fits(geometry.volumeBytes, geometry.mftOffset, geometry.recordSize)) return std::nullopt;
  geometry.serialNumber = readU64(sector, kSerialNumberAt);
  return geometry;
}

}  // namespace tidvale::fs::mft

#pragma once
// Little-endian fields of on-disk structures, read so that neither the host's byte order nor the
// alignment of the buffer matters. Callers check bounds first; these never do.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace tidvale::fs::mft {

using Bytes = std::span<const uint8_t>;

// One load, not a load per byte: the table's parse reads several fields of every record.
template <typename Integer>
inline Integer readLittleEndian(Bytes bytes, size_t at) {
  Integer value;
  std::memcpy(&value, bytes.data() + at, sizeof value);
  if constexpr (std::endian::native == std::endian::big) {
    Integer swapped = 0;
    for (size_t i = 0; i < sizeof value; ++i)
      swapped = (swapped << 8) | ((value >> (8 * i)) & 0xFF);
    value = swapped;
  }
  return value;
}

inline uint16_t readU16(Bytes bytes, size_t at) {
  return readLittleEndian<uint16_t>(bytes, at);
}

inline uint32_t readU32(Bytes bytes, size_t at) {
  return readLittleEndian<uint32_t>(bytes, at);
}

inline uint64_t readU64(Bytes bytes, size_t at) {
  return readLittleEndian<uint64_t>(bytes, at);
}

// Whether [at, at + length) lies inside a buffer of `size` bytes, without overflowing.
constexpr bool fits(size_t size, size_t at, size_t length) {
  return at <= size && length <= size - at;
}

// A file reference: the record number in its low 48 bits, the record's sequence number above.
constexpr uint64_t referenceRecord(uint64_t reference) {
  return reference & 0x0000'FFFF'FFFF'FFFFull;
}
constexpr uint16_t referenceSequence(uint64_t reference) {
  return static_cast<uint16_t>(reference >> 48);
}

}  // namespace tidvale::fs::mft

#pragma once
// Little-endian fields of on-disk structures, read byte by byte so that neither the host's byte
// order nor the alignment of the buffer matters. Callers check bounds first; these never do.

#include <cstddef>
#include <cstdint>
#include <span>

namespace tidvale::fs::mft {

using Bytes = std::span<const uint8_t>;

inline uint16_t readU16(Bytes bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

inline uint32_t readU32(Bytes bytes, size_t at) {
  return static_cast<uint32_t>(readU16(bytes, at)) |
         (static_cast<uint32_t>(readU16(bytes, at + 2)) << 16);
}

inline uint64_t readU64(Bytes bytes, size_t at) {
  return static_cast<uint64_t>(readU32(bytes, at)) |
         (static_cast<uint64_t>(readU32(bytes, at + 4)) << 32);
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

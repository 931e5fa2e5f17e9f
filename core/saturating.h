#pragma once
// Byte counts that add up without overflowing: sizes come from listings, shares and index files
// that a hostile server or a forged file can fill with any value. Any thread.

#include <cstdint>
#include <limits>

namespace tidvale {

// `total` plus `size`, held at the largest signed 64-bit value; a negative size counts as 0.
constexpr int64_t addSize(int64_t total, int64_t size) {
  if (size <= 0) return total;
  constexpr int64_t kMost = std::numeric_limits<int64_t>::max();
  return total > kMost - size ? kMost : total + size;
}

}  // namespace tidvale

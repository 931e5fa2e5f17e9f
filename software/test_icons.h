#pragma once
// Icon files written byte by byte for the tests: well-formed ones, and the hostile shapes the
// icon check must refuse. Test code only; platform-neutral.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace tidvale::software::testing {

using Bytes = std::vector<uint8_t>;

inline void putLe16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void putLe32(Bytes& b, uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) b.push_back(static_cast<uint8_t>(v >> shift));
}
inline void putBe32(Bytes& b, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(v >> shift));
}

// An uncompressed bitmap image as icons hold it: header, palette, colour rows, mask rows.
inline Bytes bitmapImage(uint32_t width, uint32_t height, uint16_t bitCount = 32,
                         int32_t headerHeight = -1) {
  Bytes b;
  putLe32(b, 40);
  putLe32(b, width);
  putLe32(b, headerHeight < 0 ? 2 * height : static_cast<uint32_t>(headerHeight));
  putLe16(b, 1);
  putLe16(b, bitCount);
  for (int i = 0; i < 6; ++i) putLe32(b, 0);  // compression, sizes, resolution, colours
  const uint32_t palette = bitCount <= 8 ? (1u << bitCount) * 4 : 0;
  const uint32_t colourRow = (width * bitCount + 31) / 32 * 4;
  const uint32_t maskRow = (width + 31) / 32 * 4;
  Bytes pixels(palette + colourRow * height + maskRow * height, 0);
  // A visible, opaque picture: every colour byte set for 32-bit images.
  if (bitCount == 32) std::fill(pixels.begin(), pixels.begin() + colourRow * height, 0xC0);
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

// A PNG frame: signature, a header chunk of `width` x `height` and an end chunk (left out when
// `withEnd` is false). The check reads no checksums: they are left 0.
inline Bytes pngImage(uint32_t width, uint32_t height, bool withEnd = true) {
  Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  putBe32(b, 13);
  b.insert(b.end(), {'I', 'H', 'D', 'R'});
  putBe32(b, width);
  putBe32(b, height);
  b.insert(b.end(), {8, 6, 0, 0, 0});
  putBe32(b, 0);
  if (withEnd) {
    putBe32(b, 0);
    b.insert(b.end(), {'I', 'E', 'N', 'D'});
    putBe32(b, 0);
  }
  return b;
}

// One directory entry and its image; the offset and size written default to the true ones.
struct TestIconEntry {
  uint8_t width;
  uint8_t height;
  Bytes image;
  std::optional<uint32_t> offset = std::nullopt;
  std::optional<uint32_t> size = std::nullopt;
};

inline Bytes iconFile(const std::vector<TestIconEntry>& entries, uint16_t type = 1,
                      std::optional<uint16_t> count = std::nullopt) {
  Bytes b;
  putLe16(b, 0);
  putLe16(b, type);
  putLe16(b, count.value_or(static_cast<uint16_t>(entries.size())));
  uint32_t offset = static_cast<uint32_t>(6 + 16 * entries.size());
  for (const auto& e : entries) {
    b.insert(b.end(), {e.width, e.height, 0, 0});
    putLe16(b, 1);
    putLe16(b, 32);
    putLe32(b, e.size.value_or(static_cast<uint32_t>(e.image.size())));
    putLe32(b, e.offset.value_or(offset));
    offset += static_cast<uint32_t>(e.image.size());
  }
  for (const auto& e : entries) b.insert(b.end(), e.image.begin(), e.image.end());
  return b;
}

inline Bytes bitmapIcon(uint8_t side) {
  return iconFile({{side, side, bitmapImage(side, side)}});
}

}  // namespace tidvale::software::testing

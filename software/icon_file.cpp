#include "software/icon_file.h"

#include <algorithm>
#include <array>

namespace tidvale::software {
namespace {

constexpr size_t kDirectoryHeaderBytes = 6;
constexpr size_t kDirectoryEntryBytes = 16;
constexpr uint16_t kIconResourceType = 1;
constexpr uint32_t kSideWrittenAsZero = 256;  // a directory byte cannot hold 256

constexpr std::array<uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kPngChunkFrameBytes = 12;  // length, type, CRC
constexpr uint32_t kPngHeaderChunkBytes = 13;

constexpr uint32_t kBitmapInfoHeaderBytes = 40;
constexpr uint32_t kBitmapRgb = 0;  // BI_RGB: uncompressed
constexpr uint32_t kPaletteEntryBytes = 4;
constexpr uint32_t kMaxPaletteBits = 8;

uint16_t le16(std::span<const uint8_t> b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
uint32_t le32(std::span<const uint8_t> b, size_t at) {
  return uint32_t{b[at]} | (uint32_t{b[at + 1]} << 8) | (uint32_t{b[at + 2]} << 16) |
         (uint32_t{b[at + 3]} << 24);
}
uint32_t be32(std::span<const uint8_t> b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) |
         uint32_t{b[at + 3]};
}

bool startsWith(std::span<const uint8_t> bytes, std::span<const uint8_t> prefix) {
  return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

// A PNG whose header chunk comes first and names the directory's size, and whose chunks all lie
// within the image up to its end chunk.
bool checkPng(std::span<const uint8_t> image, IconImage& info) {
  size_t at = kPngSignature.size();
  if (image.size() < at + kPngChunkFrameBytes + kPngHeaderChunkBytes) return false;
  if (be32(image, at) != kPngHeaderChunkBytes ||
      !std::equal(image.begin() + at + 4, image.begin() + at + 8, "IHDR")) {
    return false;
  }
  if (be32(image, at + 8) != info.width || be32(image, at + 12) != info.height) return false;
  for (;;) {
    if (image.size() - at < kPngChunkFrameBytes) return false;
    const uint32_t length = be32(image, at);
    if (length > image.size() - at - kPngChunkFrameBytes) return false;
    const bool end = std::equal(image.begin() + at + 4, image.begin() + at + 8, "IEND");
    at += kPngChunkFrameBytes + length;
    if (end) break;
  }
  info.png = true;
  info.bitCount = 32;
  return true;
}

// An uncompressed device-independent bitmap: its header gives the directory's width and twice
// its height (colour rows, then the transparency mask), and the image holds every row it needs.
bool checkBitmap(std::span<const uint8_t> image, IconImage& info) {
  if (image.size() < kBitmapInfoHeaderBytes) return false;
  const uint32_t headerBytes = le32(image, 0);
  const auto width = static_cast<int32_t>(le32(image, 4));
  const auto height = static_cast<int32_t>(le32(image, 8));
  const uint16_t planes = le16(image, 12);
  const uint16_t bitCount = le16(image, 14);
  const uint32_t compression = le32(image, 16);
  const uint32_t coloursUsed = le32(image, 32);
  if (headerBytes < kBitmapInfoHeaderBytes || headerBytes > image.size()) return false;
  if (width <= 0 || static_cast<uint32_t>(width) != info.width || height <= 0 ||
      static_cast<uint32_t>(height) != 2 * info.height) {
    return false;
  }
  constexpr uint16_t kDepths[] = {1, 4, 8, 16, 24, 32};
  if (planes != 1 ||
      std::find(std::begin(kDepths), std::end(kDepths), bitCount) == std::end(kDepths)) {
    return false;
  }
  if (compression != kBitmapRgb) return false;
  // The colour table holds the colours the header names; an indexed image names at most one per
  // index, and none means every one. A deeper image may still carry a table, which its rows follow.
  uint64_t paletteEntries = coloursUsed;
  if (bitCount <= kMaxPaletteBits) {
    const uint32_t most = uint32_t{1} << bitCount;
    if (coloursUsed > most) return false;
    if (coloursUsed == 0) paletteEntries = most;
  }
  const auto stride = [](uint64_t w, uint64_t bits) { return (w * bits + 31) / 32 * 4; };
  const uint64_t needed = uint64_t{headerBytes} + paletteEntries * kPaletteEntryBytes +
                          stride(info.width, bitCount) * info.height +
                          stride(info.width, 1) * info.height;
  if (needed > image.size()) return false;
  info.bitCount = bitCount;
  return true;
}

std::optional<IconImage> checkEntry(std::span<const uint8_t> file, size_t entryAt,
                                    size_t directoryEnd) {
  IconImage info;
  info.width = file[entryAt] == 0 ? kSideWrittenAsZero : file[entryAt];
  info.height = file[entryAt + 1] == 0 ? kSideWrittenAsZero : file[entryAt + 1];
  const uint32_t size = le32(file, entryAt + 8);
  const uint32_t offset = le32(file, entryAt + 12);
  if (offset < directoryEnd || offset > file.size() || size > file.size() - offset || size == 0) {
    return std::nullopt;
  }
  info.offset = offset;
  info.size = size;
  const auto image = file.subspan(offset, size);
  const bool ok =
      startsWith(image, kPngSignature) ? checkPng(image, info) : checkBitmap(image, info);
  if (!ok || info.width > kMaxIconSide || info.height > kMaxIconSide) return std::nullopt;
  return info;
}

}  // namespace

bool hasIconFileSignature(std::span<const uint8_t> bytes) {
  return bytes.size() >= 4 && le16(bytes, 0) == 0 && le16(bytes, 2) == kIconResourceType;
}

std::optional<std::vector<IconImage>> checkedIconImages(std::span<const uint8_t> file) {
  if (file.size() > kMaxIconFileBytes || file.size() < kDirectoryHeaderBytes ||
      !hasIconFileSignature(file)) {
    return std::nullopt;
  }
  const size_t count = le16(file, 4);
  const size_t directoryEnd = kDirectoryHeaderBytes + count * kDirectoryEntryBytes;
  if (count == 0 || directoryEnd > file.size()) return std::nullopt;
  std::vector<IconImage> images;
  for (size_t i = 0; i < count; ++i) {
    auto image = checkEntry(file, kDirectoryHeaderBytes + i * kDirectoryEntryBytes, directoryEnd);
    if (!image) return std::nullopt;
    images.push_back(*image);
  }
  return images;
}

IconImage bestIconImage(const std::vector<IconImage>& images, uint32_t side) {
  const auto better = [side](const IconImage& a, const IconImage& b) {
    // Exact size first, then the nearest larger, then the largest; more colours break ties.
    const auto rank = [side](const IconImage& i) {
      if (i.width == side) return std::pair{0, int64_t{0}};
      if (i.width > side) return std::pair{1, int64_t{i.width}};
      return std::pair{2, -int64_t{i.width}};
    };
    const auto ra = rank(a);
    const auto rb = rank(b);
    if (ra != rb) return ra < rb;
    return a.bitCount > b.bitCount;
  };
  return *std::min_element(images.begin(), images.end(), better);
}

}  // namespace tidvale::software

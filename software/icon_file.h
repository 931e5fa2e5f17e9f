#pragma once
// Checking an .ico file before any system parser sees it. The system's readers trust the
// directory: an image offset past the end crashed the process, and a 16000 x 16000 PNG in a 1 MB
// file took a gigabyte. A file passes only when every directory entry lies within it, its sizes
// agree with each image's own header, and no image is larger than 256 x 256. Platform-neutral,
// pure, any thread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tidvale::software {

// Larger files are not read for an icon at all.
inline constexpr size_t kMaxIconFileBytes = size_t{1} << 20;
inline constexpr uint32_t kMaxIconSide = 256;

// Where one image of an icon file lies, and what its header says.
struct IconImage {
  size_t offset = 0;
  size_t size = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t bitCount = 0;  // colour depth; a PNG image counts as 32
  bool png = false;
};

// Whether `bytes` begin like an icon file (reserved 0, type 1).
bool hasIconFileSignature(std::span<const uint8_t> bytes);

// Every image of the icon file `file`, in directory order; nothing when the file is larger than
// kMaxIconFileBytes, holds no image, or any entry or image fails a check.
std::optional<std::vector<IconImage>> checkedIconImages(std::span<const uint8_t> file);

// The image to show at `side` x `side`: that size with the most colours, else the smallest
// larger one, else the largest. `images` must not be empty.
IconImage bestIconImage(const std::vector<IconImage>& images, uint32_t side);

}  // namespace tidvale::software

// libFuzzer target: the icon-file check over arbitrary file contents. It must never read past
// the bytes given, and every image it accepts must lie within them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "software/icon_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto images = tidvale::software::checkedIconImages(std::span<const uint8_t>(data, size));
  if (!images) return 0;
  for (const auto& image : *images) {
    if (image.offset > size || image.size > size - image.offset ||
        image.width > tidvale::software::kMaxIconSide) {
      std::abort();
    }
  }
  (void)tidvale::software::bestIconImage(*images, 32);
  return 0;
}

// libFuzzer target: the Recycle Bin index parser over arbitrary file contents. It must never read
// past the bytes given, whatever the version and length fields say.
#include <cstddef>
#include <cstdint>
#include <span>

#include "removal/recycle_index.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto entry = tidvale::parseRecycleIndex(std::span<const uint8_t>(data, size));
  if (entry) (void)tidvale::recycleComparisonForm(entry->originalPath);
  return 0;
}

#include "fs/mft/byte_source.h"

#include <cstring>

namespace tidvale::fs::mft {

bool MemoryByteSource::read(uint64_t offset, std::span<uint8_t> into) {
  if (offset > bytes_.size() || into.size() > bytes_.size() - offset) return false;
  if (!into.empty()) std::memcpy(into.data(), bytes_.data() + offset, into.size());
  return true;
}

}  // namespace tidvale::fs::mft

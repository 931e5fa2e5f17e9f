#include "fs/mft/mft_index.h"

#include <algorithm>

namespace tidvale::fs::mft {

std::span<const uint32_t> MftIndex::children(uint32_t folder) const {
  if (size_t{folder} + 1 >= childStart_.size()) return {};
  return std::span<const uint32_t>(childNames_)
      .subspan(childStart_[folder], childStart_[folder + 1] - childStart_[folder]);
}

bool MftIndex::collatesBefore(std::u16string_view a, std::u16string_view b) const {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    if (a[i] == b[i]) continue;  // names in one folder often share a long start
    const char16_t upperA = upcase_[a[i]];
    const char16_t upperB = upcase_[b[i]];
    if (upperA != upperB) return upperA < upperB;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;  // names equal but for case (the POSIX namespace allows them)
}

void MftRecordBlocks::grow(size_t count, size_t limit) {
  while (capacity_ < count) {
    // Every block but the last is whole, so that a number finds its block by its high bits.
    const size_t block = std::min(kBlockMask + 1, std::max(limit, count) - capacity_);
    blocks_.push_back(std::make_unique<MftRecord[]>(block));
    capacity_ += block;
  }
  size_ = std::max(size_, count);
}

size_t MftRecordBlocks::memoryBytes() const {
  return capacity_ * sizeof(MftRecord) + blocks_.capacity() * sizeof(blocks_[0]);
}

size_t MftIndex::memoryBytes() const {
  return records_.memoryBytes() + names_.capacity() * sizeof(MftName) +
         namePool_.capacity() * sizeof(char16_t) +
         (childStart_.capacity() + childNames_.capacity()) * sizeof(uint32_t) +
         upcase_.capacity() * sizeof(char16_t);
}

}  // namespace tidvale::fs::mft

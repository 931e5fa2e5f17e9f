#include "fs/mft/mft_index.h"

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

size_t MftIndex::memoryBytes() const {
  return records_.capacity() * sizeof(MftRecord) + names_.capacity() * sizeof(MftName) +
         namePool_.capacity() * sizeof(char16_t) +
         (childStart_.capacity() + childNames_.capacity()) * sizeof(uint32_t) +
         upcase_.capacity() * sizeof(char16_t);
}

}  // namespace tidvale::fs::mft

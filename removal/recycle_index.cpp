#include "removal/recycle_index.h"

#include <algorithm>

#include "core/lower_case.h"

namespace tidvale {
namespace {

constexpr uint64_t kVersionOne = 1;
constexpr uint64_t kVersionTwo = 2;
constexpr size_t kVersionOffset = 0;
constexpr size_t kDeletionTimeOffset = 16;
constexpr size_t kVersionOnePathOffset = 24;
constexpr size_t kVersionOnePathUnits = 260;
constexpr size_t kVersionTwoLengthOffset = 24;
constexpr size_t kVersionTwoPathOffset = 28;
// Shorter files carry no usable entry whatever their version.
constexpr size_t kMinimumBytes = 26;
constexpr size_t kDriveRootLength = 3;

uint64_t readLittleEndian(std::span<const uint8_t> bytes, size_t offset, size_t width) {
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i) value |= uint64_t{bytes[offset + i]} << (8 * i);
  return value;
}

// Up to `maxUnits` UTF-16 units from `offset`, ending at the first NUL.
std::wstring readPath(std::span<const uint8_t> bytes, size_t offset, size_t maxUnits) {
  std::wstring path;
  for (size_t unit = 0; unit < maxUnits; ++unit) {
    const auto value = static_cast<wchar_t>(readLittleEndian(bytes, offset + 2 * unit, 2));
    if (value == L'\0') break;
    path.push_back(value);
  }
  return path;
}

}  // namespace

std::optional<RecycleIndexEntry> parseRecycleIndex(std::span<const uint8_t> bytes) {
  if (bytes.size() < kMinimumBytes) return std::nullopt;
  const uint64_t version = readLittleEndian(bytes, kVersionOffset, 8);
  RecycleIndexEntry entry;
  entry.deletionTime = static_cast<int64_t>(readLittleEndian(bytes, kDeletionTimeOffset, 8));
  if (version == kVersionOne) {
    const size_t available = (bytes.size() - kVersionOnePathOffset) / 2;
    entry.originalPath =
        readPath(bytes, kVersionOnePathOffset, std::min(available, kVersionOnePathUnits));
  } else if (version == kVersionTwo) {
    if (bytes.size() < kVersionTwoPathOffset) return std::nullopt;
    const auto declared = static_cast<int32_t>(readLittleEndian(bytes, kVersionTwoLengthOffset, 4));
    const size_t available = (bytes.size() - kVersionTwoPathOffset) / 2;
    const size_t units = std::min(available, static_cast<size_t>(std::max(declared, 0)));
    entry.originalPath = readPath(bytes, kVersionTwoPathOffset, units);
  } else {
    return std::nullopt;
  }
  if (entry.originalPath.empty()) return std::nullopt;
  return entry;
}

std::wstring recycleComparisonForm(std::wstring_view path) {
  std::wstring form(path);
  std::replace(form.begin(), form.end(), L'/', L'\\');
  while (form.size() > kDriveRootLength && form.back() == L'\\') form.pop_back();
  return toLowerUnits(form);
}

}  // namespace tidvale

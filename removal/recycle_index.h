#pragma once
// The Recycle Bin's index files ("$I..." beside each recycled item "$R..."), as the shell writes
// them: a format version, the item's size, its deletion time and its former full path. These
// files may be written by anyone, so every length is bounded by the bytes actually read. Pure,
// any thread.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tidvale {

// One read of an index file takes at most this many bytes: the header and 32,768 path units.
inline constexpr size_t kRecycleIndexMaxBytes = 65'564;

struct RecycleIndexEntry {
  std::wstring originalPath;  // UTF-16 units, up to the first NUL
  int64_t deletionTime = 0;   // Windows file time; orders the copies of one path
};

// The entry an index file describes; nothing for an unknown version, a short file or an empty
// path.
std::optional<RecycleIndexEntry> parseRecycleIndex(std::span<const uint8_t> bytes);

// The form in which recycled paths are compared: '/' read as '\', trailing separators dropped
// while longer than a drive root, each unit lower-cased.
std::wstring recycleComparisonForm(std::wstring_view path);

}  // namespace tidvale

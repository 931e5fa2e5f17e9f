#include "scanners/large_file_scanner.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/progress.h"
#include "scanners/path_walks.h"
#include "scanners/scan_item.h"

namespace tidvale {
namespace {

struct Candidate {
  int64_t size;
  std::wstring path;
};

// Equal sizes go by path, so which of them are kept at the cut, and their order, does not depend
// on the order the walk met them.
bool largerFirst(const Candidate& a, const Candidate& b) {
  return a.size != b.size ? a.size > b.size : a.path < b.path;
}

// Keeps the `limit` largest candidates met so far. The list is cut back whenever it reaches
// twice the limit, so memory stays bounded however many files pass the threshold, and the
// result is the one sorting every candidate and cutting would give.
class LargestFiles {
 public:
  explicit LargestFiles(size_t limit) : limit_(limit) {}

  void add(int64_t size, const std::wstring& path) {
    candidates_.push_back({size, path});
    if (candidates_.size() >= 2 * limit_) trim();
  }

  std::vector<Candidate> takeSorted() {
    trim();
    std::sort(candidates_.begin(), candidates_.end(), largerFirst);
    return std::move(candidates_);
  }

 private:
  void trim() {
    if (candidates_.size() <= limit_) return;
    std::nth_element(candidates_.begin(), candidates_.begin() + static_cast<ptrdiff_t>(limit_),
                     candidates_.end(), largerFirst);
    candidates_.resize(limit_);
  }

  size_t limit_;
  std::vector<Candidate> candidates_;
};

}  // namespace

EncodableMap runLargeFileScan(ServiceState& state, fs::FileSystem& fileSystem,
                              const std::wstring& root, int64_t minSize, Utf8Converter toUtf8) {
  uint64_t scanned = 0;
  uint64_t scannedBytes = 0;
  LargestFiles largest(kLargeFileItemLimit);
  walkFiles(fileSystem, root, state.cancelFlag, [&](const std::wstring& path, int64_t size) {
    ++scanned;
    scannedBytes += static_cast<uint64_t>(size);
    if (scanned % kLargeFileProgressInterval == 0) {
      emitProgress(state, kLargeFileProgressTask, toUtf8(path), scanned, scannedBytes, false);
    }
    if (size >= minSize) largest.add(size, path);
  });

  EncodableList items;
  for (const Candidate& candidate : largest.takeSorted()) {
    // Times are read for the reported files only, not for every candidate.
    ScanItem item;
    item.path = toUtf8(candidate.path);
    item.name = toUtf8(fileNameOf(candidate.path));
    item.size = candidate.size;
    item.modified = fileTimeToUnixSeconds(fileSystem, candidate.path);
    item.ext = toUtf8(lowerExtensionOf(candidate.path));
    items.emplace_back(item.toEncodableMap());
  }

  emitProgress(state, kLargeFileProgressTask, "", scanned, scannedBytes, true);
  return EncodableMap{
      {EncodableValue("items"), EncodableValue(std::move(items))},
      {EncodableValue("scanned"), EncodableValue(static_cast<int64_t>(scanned))},
      {EncodableValue("cancelled"), EncodableValue(state.cancelled())},
  };
}

}  // namespace tidvale

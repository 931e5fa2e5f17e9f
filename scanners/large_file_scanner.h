#pragma once
// The large-file scan over the file-system seam: the largest files at or above a threshold below
// a root. scanners/large_files.h binds it to the real file system.

#include <cstddef>
#include <cstdint>
#include <string>

#include "channels/encodable_value.h"
#include "core/service_state.h"
#include "fs/file_system.h"
#include "scanners/scan_text.h"

namespace tidvale {

inline constexpr char kLargeFileProgressTask[] = "large";
inline constexpr size_t kLargeFileItemLimit = 400;
// A walk progress event is offered each time this many more files have been visited.
inline constexpr uint64_t kLargeFileProgressInterval = 500;

// Background operation thread. Walks `root` with walkFiles and replies {"items", "scanned",
// "cancelled"}: the (at most 400) files of at least `minSize` bytes, largest first, and the
// number of files visited. "large" progress events go through `state`. A set cancel flag ends
// the walk; what was found is still sorted, cut and returned. Never fails.
EncodableMap runLargeFileScan(ServiceState& state, fs::FileSystem& fileSystem,
                              const std::wstring& root, int64_t minSize, Utf8Converter toUtf8);

}  // namespace tidvale

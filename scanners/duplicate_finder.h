#pragma once
// The duplicate finder over the file-system and file-content seams: files of equal size, then of
// equal digest of their first 64 KiB, then of equal digest of their whole content.
// scanners/storage_scans.h binds it to the real machine.

#include <cstddef>
#include <cstdint>
#include <string>

#include "channels/encodable_value.h"
#include "core/service_state.h"
#include "fs/file_system.h"
#include "scanners/file_content.h"
#include "scanners/scan_text.h"

namespace tidvale {

inline constexpr char kDuplicateProgressTask[] = "dupes";
// A walk progress event is offered each time this many more files have been visited.
inline constexpr uint64_t kDuplicateProgressInterval = 500;
// Size buckets are matched in windows of about this many files, so that the workers have enough
// files to share even when most buckets hold two.
inline constexpr size_t kDuplicateWindowFiles = 64;

struct DuplicateScanEnvironment {
  fs::FileSystem& fileSystem;
  ContentReaderFactory makeReader;
  size_t workers = 1;  // the reply is the same for any number
  Utf8Converter toUtf8;
};

// Background operation thread. Walks `root` with walkFiles and replies {"groups", "scanned",
// "wasted", "cancelled"}: groups of distinct files of at least `minSize` bytes with equal size and
// content, largest "wasted" first. Hard links of one file count as one file (the first path met);
// files that cannot be read whole are left out. "dupes" progress events go through `state`.
// The cancel flag is read before every walked entry, every size bucket and every full-content
// hash; a bucket whose partial stage started completes it. Never fails.
EncodableMap runDuplicateScan(ServiceState& state, const DuplicateScanEnvironment& environment,
                              const std::wstring& root, int64_t minSize);

}  // namespace tidvale

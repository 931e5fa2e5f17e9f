#pragma once
// The junk scan over the file-system seam, with the base folders, the Recycle Bin query and the
// text conversion handed in. scanners/junk_scan.h binds it to the real machine.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "channels/encodable_value.h"
#include "core/service_state.h"
#include "fs/file_system.h"
#include "scanners/junk_catalogue.h"

namespace tidvale {

inline constexpr char kJunkProgressTask[] = "junk";

struct JunkScanEnvironment {
  fs::FileSystem& fileSystem;
  JunkBases bases;
  // Bytes held by the Recycle Bins of all drives; 0 or less when empty or when the query fails.
  std::function<int64_t()> recycleBinBytes;
  // UTF-16 to UTF-8, for item paths and names.
  std::string (*toUtf8)(std::wstring_view text);
};

// Background operation thread. Scans the catalogue built from `environment.bases` and replies
// {"categories", "total", "count", "cancelled"}. Emits an unforced "junk" progress event per kept
// item of the ordinary categories and one forced final event carrying the reply's count and
// total. Reads `state`'s cancel flag before each category, path and listed child; stops early
// and still replies in full. Never fails: unreadable places only shrink the result.
EncodableMap runJunkScan(ServiceState& state, const JunkScanEnvironment& environment);

}  // namespace tidvale

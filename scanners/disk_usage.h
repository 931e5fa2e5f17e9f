#pragma once
// The disk usage tree over the file-system seam: one walk below a folder, sizes and file counts
// gathered per path prefix a few levels deep. scanners/storage_scans.h binds it to the real file
// system.

#include <cstddef>
#include <cstdint>
#include <string>

#include "channels/encodable_value.h"
#include "core/service_state.h"
#include "fs/file_system.h"
#include "scanners/scan_text.h"

namespace tidvale {

inline constexpr char kDiskProgressTask[] = "disk";
inline constexpr size_t kDiskChildLimit = 40;
// A walk progress event is offered each time this many more files have been counted.
inline constexpr uint64_t kDiskProgressInterval = 2000;
// The name of the node standing for the children folded away: "…" (U+2026).
inline constexpr char kDiskOtherName[] = "\xE2\x80\xA6";

// Background operation thread. Walks `root` (`rootText`: the same path as the caller gave it, in
// UTF-8) counting every regular file, hidden and system ones included; links and reparse points
// are neither entered nor counted. Replies with the root's node map {"name", "path", "size",
// "files", "isDir", "children"} plus "cancelled" and "scanned": children largest first, at most
// 40 per node and then one "…" node holding the rest's bytes, nodes `depth` levels deep at most.
// "disk" progress events go through `state`. A set cancel flag ends the walk; the partial tree is
// returned. Never fails: a root that cannot be listed gives an empty tree.
EncodableMap runDiskAnalysis(ServiceState& state, fs::FileSystem& fileSystem,
                             const std::string& rootText, const std::wstring& root, int32_t depth,
                             Utf8Converter toUtf8);

}  // namespace tidvale

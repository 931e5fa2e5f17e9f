#pragma once
// Which file system a whole-volume scan runs on. A folder listing walk costs a system call per
// folder and per batch of entries; reading a volume's master file table costs one sequential read
// of it, which only pays when most of the volume is scanned. So the table is read for a root that
// is a volume's root or the profile folder, on an NTFS volume that opens raw (an elevated
// process), per call; anything else walks, as does any failure while reading the table, a table
// that is not a consistent tree, and anything thrown on the way (out of memory included): all
// before the scan starts, so nothing is reported twice.
//
// The environment variable TIDVALE_SCAN_ENGINE forces either engine: "walk", or "mft" for any
// root on a drive letter (tests and benchmarks; a table that cannot be read still falls back to
// the walk, with one line on standard error saying why).

#include <memory>
#include <string>

#include "core/service_state.h"
#include "fs/file_system.h"

namespace tidvale {

inline constexpr wchar_t kScanEngineVariable[] = L"TIDVALE_SCAN_ENGINE";

enum class ScanEngine { Walk, Mft };

class ScanFileSystem {
 public:
  ScanFileSystem(fs::FileSystem& fileSystem, std::unique_ptr<fs::FileSystem> owned,
                 ScanEngine engine)
      : fileSystem_(fileSystem), owned_(std::move(owned)), engine_(engine) {}

  fs::FileSystem& get() const { return fileSystem_; }
  ScanEngine engine() const { return engine_; }

 private:
  fs::FileSystem& fileSystem_;
  std::unique_ptr<fs::FileSystem> owned_;
  ScanEngine engine_;
};

// The file system to scan `root` with, chosen as above. Background operation thread; reading the
// table honours the cancel flag (a cancelled read walks, and the walk then stops at once).
ScanFileSystem scanFileSystemFor(ServiceState& state, const std::wstring& root);

}  // namespace tidvale

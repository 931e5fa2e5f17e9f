#pragma once
// The MFT listing side for a folder on this machine: the index of the NTFS volume behind the
// folder's drive letter, read raw, and checked to be the very volume and folder the path names.

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "fs/mft/mft_file_system.h"

namespace tidvale::fs::mft {

struct MftVolume {
  std::unique_ptr<MftFileSystem> fileSystem;  // null on failure
  const char* failure = "";
};

// Reads the volume of `root` and checks that `root` resolves in its index to the record the
// file system itself names for it (so a substituted drive, a mount point or a link on the way
// fails rather than scanning another folder). Fails when the volume is not NTFS, cannot be opened
// raw (not elevated), or cannot be read or trusted. `cancel` is read between reads. Any thread.
MftVolume openMftVolume(const std::wstring& root, const std::atomic<bool>* cancel);

}  // namespace tidvale::fs::mft

#pragma once
// The deletion routine over the file-system seam and a Recycle Bin: removes each entry, or
// empties the Recycle Bins for the pseudo-path "recycle:", measuring each item before it goes so
// that the reply can say what was freed. The Win32 binding is removal/delete_items.h.

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "channels/encodable_value.h"
#include "core/service_state.h"
#include "fs/file_system.h"
#include "fs/path_resolver.h"
#include "removal/checked_removal.h"
#include "removal/recycle_bin.h"
#include "removal/removal_guard.h"

namespace tidvale {

// The one entry that means the Recycle Bins of all drives, byte for byte.
inline constexpr char kRecycleBinPseudoPath[] = "recycle:";

struct DeletionEnvironment {
  fs::FileSystem& fileSystem;
  RecycleBin& recycleBin;
  // The cheap first filter over the text.
  const RemovalGuard& guard;
  // The identities of the protected folders and of every folder that holds one.
  std::set<fs::FileId> protectedIds;
  // The path an entry's text names; nothing when it names none (it holds U+0000).
  std::function<std::optional<std::wstring>(const std::string&)> pathOf;
  // The threads that removals spread their files over, the routine's own among them.
  size_t workers = removalWorkerCount();
};

// Processes every entry in order, whatever the cancel flag says, and replies {"freed", "failed",
// "inTrash", "inTrashBytes"}. Each path is resolved to what it names (fs::PathResolver) and acted
// on through what was resolved: paths that are not fully qualified or hold wildcards, reserved
// characters or stream names, paths with a link before their last component, protected folders
// by any name, and folders that hold one are listed as failed and left untouched. Each item is
// measured whole before it goes (a cancel does not cut the measure short), and a folder goes only
// as far as it was measured (removal/checked_removal.h). The shell is handed only a path it reads
// exactly as the resolver did, while the folders on its way are pinned; an item whose way cannot
// be pinned is listed as failed, any other item the shell cannot take goes permanently. Emits
// "delete" progress: one throttled event per path entry (an entry removed for good reports once
// its folder's read has shown it gone), then one forced event counting every entry. Never throws
// beyond allocation.
EncodableMap runDeletion(ServiceState& state, const DeletionEnvironment& environment,
                         const std::vector<std::string>& entries, bool toTrash);

}  // namespace tidvale

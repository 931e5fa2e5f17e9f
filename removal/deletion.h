#pragma once
// The deletion routine over the file-system seam and a Recycle Bin: removes each entry, or
// empties the Recycle Bins for the pseudo-path "recycle:", measuring each item before it goes so
// that the reply can say what was freed. The Win32 binding is removal/delete_items.h.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "channels/encodable_value.h"
#include "core/service_state.h"
#include "fs/file_system.h"
#include "removal/recycle_bin.h"
#include "removal/removal_guard.h"

namespace tidvale {

// The one entry that means the Recycle Bins of all drives, byte for byte.
inline constexpr char kRecycleBinPseudoPath[] = "recycle:";

struct DeletionEnvironment {
  fs::FileSystem& fileSystem;
  RecycleBin& recycleBin;
  const RemovalGuard& guard;
  // The path an entry's text names; nothing when it names none (it holds U+0000).
  std::function<std::optional<std::wstring>(const std::string&)> pathOf;
};

// Processes every entry in order, whatever the cancel flag says, and replies {"freed", "failed",
// "inTrash", "inTrashBytes"}. Entries that are not fully qualified or that name a protected
// folder are listed as failed and left untouched. Emits "delete" progress: one throttled event
// per path entry, then one forced event counting every entry. Never throws beyond allocation.
EncodableMap runDeletion(ServiceState& state, const DeletionEnvironment& environment,
                         const std::vector<std::string>& entries, bool toTrash);

}  // namespace tidvale

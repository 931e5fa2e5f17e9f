#pragma once
// "deleteItems" and "emptyTrash" on the real machine. Background operation threads with COM.

#include <string>
#include <vector>

#include "channels/encodable_value.h"
#include "core/service_state.h"

namespace tidvale {

// The deletion routine: removes each entry (or empties the Recycle Bins for "recycle:"),
// returning {"freed", "failed", "inTrash", "inTrashBytes"}; emits "delete" progress.
EncodableMap deleteItems(ServiceState& state, const std::vector<std::string>& paths, bool toTrash);

// The routine on the one entry "recycle:".
EncodableMap emptyTrash(ServiceState& state);

}  // namespace tidvale

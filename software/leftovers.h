#pragma once
// "appLeftovers": top-level entries of the user's and the machine's data folders that carry an
// application's name. Background thread; never fails: unreadable roots contribute nothing.

#include <string>
#include <vector>

#include "channels/encodable_value.h"
#include "core/service_state.h"
#include "fs/file_system.h"

namespace tidvale::software {

// Roaming AppData, Local AppData, LocalLow beside it and ProgramData; a root whose folder
// cannot be found is left out.
std::vector<std::wstring> leftoverRoots();

// {"items": [{"path", "name", "size", "weak"}]} for the entries directly inside `roots` that
// match `name` (see matchLeftover), in root order then listing order. A "name" under `profile`
// starts with "~" instead. `registeredNames` are the display names of every registered
// application (see leftoverTerms). Sizes stop growing once the cancel flag is seen.
EncodableMap findLeftovers(ServiceState& state, fs::FileSystem& fileSystem,
                           const std::vector<std::wstring>& roots, const std::wstring& profile,
                           const std::wstring& name, const std::wstring& publisher,
                           const std::vector<std::wstring>& registeredNames);

// findLeftovers over the real roots, profile folder and Uninstall places (read once per call).
EncodableMap appLeftovers(ServiceState& state, const std::string& name,
                          const std::string& publisher);

}  // namespace tidvale::software

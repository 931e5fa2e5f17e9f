#pragma once
// "listApps": the applications Windows lists as installed, from the Uninstall keys of the
// machine (64-bit and 32-bit views) and of the current user. Background thread with COM
// initialised; GDI+ started. Never fails: what cannot be read is left out.

#include <windows.h>

#include <set>
#include <string>

#include "channels/encodable_value.h"
#include "core/service_state.h"
#include "software/uninstall_places.h"

namespace tidvale::software {

inline constexpr DWORD kRegKeyNameUnits = 256;
inline constexpr int64_t kBytesPerKiB = 1024;

// Appends the listable entries of one hive and view to `apps`, skipping names already in
// `seenNames` (lower-cased UTF-8) and adding the new ones; emits one "apps" progress event per
// entry added.
void collectUninstallEntries(ServiceState& state, HKEY hive, REGSAM view, EncodableList& apps,
                             std::set<std::string>& seenNames);

// {"apps": entries} over the three places, largest "size" first.
EncodableMap listApps(ServiceState& state);

}  // namespace tidvale::software

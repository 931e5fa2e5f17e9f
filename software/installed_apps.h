#pragma once
// "listApps": the applications Windows lists as installed, from the Uninstall keys of the
// machine (64-bit and 32-bit views) and of the current user. Background thread with COM
// initialised; GDI+ started. Never fails: what cannot be read is left out.

#include <windows.h>

#include <set>
#include <string>

#include "channels/encodable_value.h"
#include "core/service_state.h"
#include "software/install_folder_sizes.h"
#include "software/uninstall_places.h"

namespace tidvale::software {

inline constexpr int64_t kBytesPerKiB = 1024;

// What one listing has seen so far, shared by its passes over the three places.
struct ListingState {
  explicit ListingState(InstallFolderSizes::Measure measure)
      : folderSizes(std::move(measure), drives) {}
  ListingState(const ListingState&) = delete;
  ListingState& operator=(const ListingState&) = delete;

  // Lower-cased display names already listed, compared before conversion: names whose invalid
  // UTF-16 converts to the same text are still different applications.
  std::set<std::wstring> seenNames;
  LocalDrives drives;
  InstallFolderSizes folderSizes;
};

// Appends the listable entries of one place to `apps`, skipping names already seen and adding
// the new ones; emits one "apps" progress event per entry added.
void collectUninstallEntries(ServiceState& state, const UninstallPlace& place, EncodableList& apps,
                             ListingState& listing);

// {"apps": entries} over the three places, largest "size" first.
EncodableMap listApps(ServiceState& state);

}  // namespace tidvale::software

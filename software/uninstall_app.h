#pragma once
// "uninstallApp": runs an application's uninstaller, waits for its registration to go, then
// deletes the leftover paths with the deletion routine. Background thread; never fails: the
// reply tells what happened.

#include <string>
#include <vector>

#include "channels/encodable_value.h"
#include "core/service_state.h"

namespace tidvale::software {

struct UninstallRequest {
  std::string command;  // "" runs nothing
  std::string regKey;   // "" skips the registration check
  std::vector<std::string> paths;
  bool toTrash = false;
};

// {"ok", ["error",] "freed", "failed", ["inTrash", "inTrashBytes"]}: leftovers are deleted only
// when no uninstaller was asked for or it started and its registration is gone. When another
// entry still carries the display name of `regKey`, the uninstall stands but every leftover is
// kept and listed under "failed". A `regKey` holding U+0000 is refused like an uninstaller that
// cannot be launched.
EncodableMap uninstallApp(ServiceState& state, const UninstallRequest& request);

}  // namespace tidvale::software

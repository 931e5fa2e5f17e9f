#pragma once
// Which paths the deletion routine refuses to remove: paths that are not fully qualified (they
// would resolve against whatever the current folder or drive happens to be), device paths other
// than the extended forms of drive and UNC paths, volume roots, the system's own folders and every
// folder that contains one of them. Entries inside those folders stay removable. Pure logic over
// text; the caller supplies the protected folders and the system's normalisation. Any thread.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tidvale {

struct RemovalGuard {
  // The Windows folder, Program Files (both), ProgramData, the Users folder, the profile.
  std::vector<std::wstring> protectedFolders;
  // The system's own full-path form of a path (".", "..", "/" and short names resolved); nothing
  // when it cannot tell. A path whose form is unknown is refused.
  std::function<std::optional<std::wstring>(const std::wstring&)> systemFullPath;
};

bool refusesRemoval(const RemovalGuard& guard, const std::wstring& path);

}  // namespace tidvale

#pragma once
// The deletion routine's cheap first filter over a path's text: paths that are not fully
// qualified (they would resolve against whatever the current folder or drive happens to be),
// device paths other than the extended forms of drive and UNC paths, volume roots, the system's
// own folders and every folder that contains one of them, as written. Entries inside those
// folders stay removable. Text alone cannot see other names of a folder: the resolver's identity
// check decides; this only refuses early what is plainly protected. Pure logic over text; the
// caller supplies the protected folders and the case folding. Any thread.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tidvale {

struct RemovalGuard {
  // The Windows folder, Program Files (both), ProgramData, the Users folder, the profile.
  std::vector<std::wstring> protectedFolders;
  // Folds letter case as the file system compares names; every unit folded alike.
  std::function<std::wstring(std::wstring_view)> foldCase;
};

bool refusesRemoval(const RemovalGuard& guard, const std::wstring& path);

// The same check, with the protected folders folded once for the many paths of one routine.
class FoldedGuard {
 public:
  explicit FoldedGuard(const RemovalGuard& guard);
  bool refuses(const std::wstring& path) const;

 private:
  const RemovalGuard& guard_;
  std::vector<std::wstring> protectedForms_;
};

}  // namespace tidvale

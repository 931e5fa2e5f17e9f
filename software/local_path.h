#pragma once
// Paths read from the registry that Tidvale may open for an application's size or icon. Text that
// is relative to a current folder names whatever lies there; a network path makes the system
// contact its server (a stall, and the user's credentials offered to it). Any thread.

#include <map>
#include <string>
#include <string_view>

namespace tidvale::software {

// The root ("C:\") of a fully qualified drive path, "C:\..." or "\\?\C:\..."; "" for any other
// text: relative, drive-relative, rooted, UNC ("\\server\share", "\\?\UNC\..."), other devices.
std::wstring localDriveRoot(std::wstring_view path);

// Which paths of one listing lie on local drives. Each drive's type is asked of the system once:
// the question costs about as much as reading an icon.
class LocalDrives {
 public:
  // localDriveRoot is not empty and names a drive that is there and not a network drive.
  bool isLocal(std::wstring_view path);

 private:
  std::map<wchar_t, bool> known_;  // by upper-case drive letter
};

}  // namespace tidvale::software

#pragma once
// Known folders of the shell, as plain UTF-16 paths. Any thread with or without COM.

#include <windows.h>

#include <shlobj.h>

#include <string>

namespace tidvale::win {

// SHGetKnownFolderPath with no flags and no token; "" when the folder cannot be had.
std::wstring knownFolderPath(REFKNOWNFOLDERID id);

// The user's profile folder (FOLDERID_Profile), or "".
std::wstring homeFolder();

}  // namespace tidvale::win

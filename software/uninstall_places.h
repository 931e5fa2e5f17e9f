#pragma once
// Where Windows registers installed applications: an Uninstall key with one subkey per entry,
// in the machine's 64-bit and 32-bit registry views and under the current user.

#include <windows.h>

#include <string>

namespace tidvale::software {

inline constexpr wchar_t kUninstallKeyPath[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

struct UninstallPlace {
  HKEY hive;
  REGSAM view;  // KEY_WOW64_64KEY, KEY_WOW64_32KEY, or 0 for the process's own view
};

// In the order the inventory reads them (an application listed twice keeps its first entry).
inline const UninstallPlace kUninstallPlaces[] = {{HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY},
                                                  {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY},
                                                  {HKEY_CURRENT_USER, 0}};

// The path of the entry `name` below a hive.
inline std::wstring uninstallEntryPath(const std::wstring& name) {
  return std::wstring(kUninstallKeyPath) + L"\\" + name;
}

}  // namespace tidvale::software

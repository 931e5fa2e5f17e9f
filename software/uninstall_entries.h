#pragma once
// Reading the entries of the Uninstall places: every subkey, before any filtering. Any thread;
// nothing here fails: a place or entry that cannot be opened is passed over.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "software/uninstall_places.h"

namespace tidvale::software {

inline constexpr DWORD kRegKeyNameUnits = 256;

// Calls `visit` with the name and the open key (KEY_READ in the place's view) of each entry of
// the place's Uninstall key, in enumeration order, until the first unsuccessful enumeration.
void forEachUninstallEntry(const UninstallPlace& place,
                           const std::function<void(const wchar_t* name, HKEY entry)>& visit);

// The "DisplayName" of every entry of the three places that has one, duplicates included.
std::vector<std::wstring> registeredDisplayNames();

// The "DisplayName" of the entry `regKey`, from the first place whose entry of that name has one;
// "" when none does.
std::wstring displayNameOfEntry(const std::wstring& regKey);

// Whether any entry of the three places has the display name `name`, letter case ignored.
bool isDisplayNameRegistered(const std::wstring& name);

}  // namespace tidvale::software

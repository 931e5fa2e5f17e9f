#include "software/uninstall_entries.h"

#include "core/lower_case.h"
#include "software/registry_values.h"
#include "win/unique_resource.h"

namespace tidvale::software {

void forEachUninstallEntry(const UninstallPlace& place,
                           const std::function<void(const wchar_t* name, HKEY entry)>& visit) {
  const REGSAM access = KEY_READ | place.view;
  win::UniqueKey uninstall;
  if (::RegOpenKeyExW(place.hive, kUninstallKeyPath, 0, access, uninstall.put()) != ERROR_SUCCESS) {
    return;
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[kRegKeyNameUnits] = {};
    DWORD nameUnits = kRegKeyNameUnits;
    if (::RegEnumKeyExW(uninstall.get(), index, name, &nameUnits, nullptr, nullptr, nullptr,
                        nullptr) != ERROR_SUCCESS) {
      return;
    }
    win::UniqueKey entry;
    if (::RegOpenKeyExW(uninstall.get(), name, 0, access, entry.put()) != ERROR_SUCCESS) continue;
    visit(name, entry.get());
  }
}

std::vector<std::wstring> registeredDisplayNames() {
  std::vector<std::wstring> names;
  for (const UninstallPlace& place : kUninstallPlaces) {
    forEachUninstallEntry(place, [&names](const wchar_t*, HKEY entry) {
      std::wstring name = readRegString(entry, L"DisplayName");
      if (!name.empty()) names.push_back(std::move(name));
    });
  }
  return names;
}

std::wstring displayNameOfEntry(const std::wstring& regKey) {
  if (regKey.empty()) return {};
  const std::wstring path = uninstallEntryPath(regKey);
  for (const UninstallPlace& place : kUninstallPlaces) {
    win::UniqueKey key;
    if (::RegOpenKeyExW(place.hive, path.c_str(), 0, KEY_READ | place.view, key.put()) ==
        ERROR_SUCCESS) {
      std::wstring name = readRegString(key.get(), L"DisplayName");
      if (!name.empty()) return name;
    }
  }
  return {};
}

bool isDisplayNameRegistered(const std::wstring& name) {
  const std::wstring wanted = toLowerUnits(name);
  for (const auto& registered : registeredDisplayNames()) {
    if (toLowerUnits(registered) == wanted) return true;
  }
  return false;
}

}  // namespace tidvale::software

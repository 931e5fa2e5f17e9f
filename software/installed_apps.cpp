#include "software/installed_apps.h"

#include <algorithm>

#include "core/lower_case.h"
#include "core/progress.h"
#include "scanners/system_walks.h"
#include "software/app_icon.h"
#include "software/quoted_text.h"
#include "software/registry_values.h"
#include "win/text.h"
#include "win/unique_resource.h"

namespace tidvale::software {
namespace {

constexpr char kProgressTask[] = "apps";

EncodableValue text(const std::wstring& value) {
  return EncodableValue(win::toUtf8(value));
}

int64_t sizeOfEntry(ServiceState& state, DWORD estimatedKiB, const std::wstring& location) {
  if (estimatedKiB != 0) return static_cast<int64_t>(estimatedKiB) * kBytesPerKiB;
  if (!location.empty()) return measurePath(state, location);
  return 0;
}

// The text before the last comma of an icon location, or all of it.
std::wstring iconFallbackPath(const std::wstring& displayIcon) {
  return displayIcon.substr(0, displayIcon.rfind(L','));
}

int64_t sizeField(const EncodableValue& entry) {
  const auto& map = std::get<EncodableMap>(entry);
  return std::get<int64_t>(map.at(EncodableValue("size")));
}

}  // namespace

void collectUninstallEntries(ServiceState& state, HKEY hive, REGSAM view, EncodableList& apps,
                             std::set<std::string>& seenNames) {
  const REGSAM access = KEY_READ | view;
  win::UniqueKey uninstall;
  if (::RegOpenKeyExW(hive, kUninstallKeyPath, 0, access, uninstall.put()) != ERROR_SUCCESS) {
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

    const std::wstring displayName = readRegString(entry.get(), L"DisplayName");
    const std::wstring uninstallString = readRegString(entry.get(), L"UninstallString");
    if (displayName.empty() || uninstallString.empty() ||
        readRegDword(entry.get(), L"SystemComponent") == 1) {
      continue;
    }
    if (!seenNames.insert(win::toUtf8(toLowerUnits(displayName))).second) continue;

    const std::wstring location =
        withoutSurroundingQuotes(readRegString(entry.get(), L"InstallLocation"));
    const std::wstring displayIcon = readRegString(entry.get(), L"DisplayIcon");
    const int64_t size = sizeOfEntry(state, readRegDword(entry.get(), L"EstimatedSize"), location);

    apps.emplace_back(EncodableMap{
        {EncodableValue("name"), text(displayName)},
        {EncodableValue("path"), text(location)},
        {EncodableValue("bundleId"), text(name)},
        {EncodableValue("version"), text(readRegString(entry.get(), L"DisplayVersion"))},
        {EncodableValue("size"), EncodableValue(size)},
        {EncodableValue("isApple"), EncodableValue(false)},
        {EncodableValue("publisher"), text(readRegString(entry.get(), L"Publisher"))},
        {EncodableValue("uninstall"), text(uninstallString)},
        {EncodableValue("quietUninstall"),
         text(readRegString(entry.get(), L"QuietUninstallString"))},
        {EncodableValue("modified"), EncodableValue(int64_t{0})},
        {EncodableValue("icon"),
         EncodableValue(iconToPngBase64(displayIcon, iconFallbackPath(displayIcon)))},
    });
    emitProgress(state, kProgressTask, win::toUtf8(displayName), apps.size(), 0, false);
  }
}

EncodableMap listApps(ServiceState& state) {
  EncodableList apps;
  std::set<std::string> seenNames;
  for (const UninstallPlace& place : kUninstallPlaces) {
    collectUninstallEntries(state, place.hive, place.view, apps, seenNames);
  }
  std::sort(apps.begin(), apps.end(), [](const EncodableValue& a, const EncodableValue& b) {
    return sizeField(a) > sizeField(b);
  });
  return EncodableMap{{EncodableValue("apps"), EncodableValue(std::move(apps))}};
}

}  // namespace tidvale::software

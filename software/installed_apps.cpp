#include "software/installed_apps.h"

#include <algorithm>

#include "core/lower_case.h"
#include "core/progress.h"
#include "scanners/system_walks.h"
#include "software/app_icon.h"
#include "software/quoted_text.h"
#include "software/registry_values.h"
#include "software/uninstall_entries.h"
#include "win/text.h"

namespace tidvale::software {
namespace {

constexpr char kProgressTask[] = "apps";

EncodableValue text(const std::wstring& value) {
  return EncodableValue(win::toUtf8(value));
}

int64_t sizeOfEntry(DWORD estimatedKiB, const std::wstring& location, ListingState& listing) {
  if (estimatedKiB != 0) return static_cast<int64_t>(estimatedKiB) * kBytesPerKiB;
  if (location.empty()) return 0;
  return listing.folderSizes.sizeOf(location);
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

void collectUninstallEntries(ServiceState& state, const UninstallPlace& place, EncodableList& apps,
                             ListingState& listing) {
  forEachUninstallEntry(place, [&](const wchar_t* name, HKEY entry) {
    const std::wstring displayName = readRegString(entry, L"DisplayName");
    const std::wstring uninstallString = readRegString(entry, L"UninstallString");
    if (displayName.empty() || uninstallString.empty() ||
        readRegDword(entry, L"SystemComponent") == 1) {
      return;
    }
    if (!listing.seenNames.insert(toLowerUnits(displayName)).second) return;

    const std::wstring location =
        withoutSurroundingQuotes(readRegString(entry, L"InstallLocation"));
    const std::wstring displayIcon = readRegString(entry, L"DisplayIcon");
    const int64_t size = sizeOfEntry(readRegDword(entry, L"EstimatedSize"), location, listing);

    apps.emplace_back(EncodableMap{
        {EncodableValue("name"), text(displayName)},
        {EncodableValue("path"), text(location)},
        {EncodableValue("bundleId"), text(name)},
        {EncodableValue("version"), text(readRegString(entry, L"DisplayVersion"))},
        {EncodableValue("size"), EncodableValue(size)},
        {EncodableValue("isApple"), EncodableValue(false)},
        {EncodableValue("publisher"), text(readRegString(entry, L"Publisher"))},
        {EncodableValue("uninstall"), text(uninstallString)},
        {EncodableValue("quietUninstall"), text(readRegString(entry, L"QuietUninstallString"))},
        {EncodableValue("modified"), EncodableValue(int64_t{0})},
        {EncodableValue("icon"), EncodableValue(iconToPngBase64(
                                     displayIcon, iconFallbackPath(displayIcon), listing.drives))},
    });
    emitProgress(state, kProgressTask, win::toUtf8(displayName), apps.size(), 0, false);
  });
}

EncodableMap listApps(ServiceState& state) {
  EncodableList apps;
  ListingState listing([&state](const std::wstring& folder) { return measurePath(state, folder); });
  for (const UninstallPlace& place : kUninstallPlaces) {
    collectUninstallEntries(state, place, apps, listing);
  }
  std::sort(apps.begin(), apps.end(), [](const EncodableValue& a, const EncodableValue& b) {
    return sizeField(a) > sizeField(b);
  });
  return EncodableMap{{EncodableValue("apps"), EncodableValue(std::move(apps))}};
}

}  // namespace tidvale::software

// "listApps" on 300 registered applications, each with an icon from this program's own icon
// resource and a recorded size, against two floors timed in the same run: reading the same
// registry values raw, and that plus extracting each icon. The ratios show what building the
// entries costs beyond the registry, and what encoding icons as PNG base64 adds beyond
// extracting them. The entries live under the current user's Uninstall key of the isolated
// prefix and are removed at the end.

#include <windows.h>

#include <objidl.h>
// GDI+ needs the COM declarations above.
#include <gdiplus.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "core/clock.h"
#include "core/service_state.h"
#include "software/installed_apps.h"
#include "software/registry_values.h"
#include "win/unique_resource.h"

namespace {

using namespace tidvale;

constexpr int kApps = 300;
constexpr int kRounds = 5;  // the fastest round of each measurement is kept
constexpr double kNanosecondsPerMillisecond = 1e6;
const std::wstring kStem = L"TidvaleBenchApp-";

std::wstring uninstallPath(int i) {
  return software::uninstallEntryPath(kStem + std::to_wstring(i));
}

void setText(HKEY key, const wchar_t* name, const std::wstring& text) {
  ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void registerApps(const std::wstring& icon) {
  for (int i = 0; i < kApps; ++i) {
    win::UniqueKey key;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, uninstallPath(i).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                      nullptr, key.put(), nullptr);
    setText(key.get(), L"DisplayName", L"Tidvale Bench App " + std::to_wstring(i));
    setText(key.get(), L"UninstallString", L"C:\\bench\\uninstall.exe");
    setText(key.get(), L"Publisher", L"Brightline");
    setText(key.get(), L"DisplayVersion", L"1.0." + std::to_wstring(i));
    setText(key.get(), L"DisplayIcon", L"\"" + icon + L"\",0");
    const DWORD kib = 1000 + i;
    ::RegSetValueExW(key.get(), L"EstimatedSize", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&kib),
                     sizeof kib);
  }
}

void unregisterApps() {
  for (int i = 0; i < kApps; ++i) ::RegDeleteTreeW(HKEY_CURRENT_USER, uninstallPath(i).c_str());
  for (int i = 0; i < kApps; ++i) ::RegDeleteKeyW(HKEY_CURRENT_USER, uninstallPath(i).c_str());
}

// The floor: the three Uninstall keys enumerated and every value listApps reads, read raw;
// with `extractIcons`, each entry's icon extracted and destroyed as well.
size_t readRegistry(bool extractIcons) {
  size_t entries = 0;
  for (const software::UninstallPlace& place : software::kUninstallPlaces) {
    win::UniqueKey root;
    if (::RegOpenKeyExW(place.hive, software::kUninstallKeyPath, 0, KEY_READ | place.view,
                        root.put()) != ERROR_SUCCESS) {
      continue;
    }
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
      DWORD units = 256;
      if (::RegEnumKeyExW(root.get(), i, name, &units, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      win::UniqueKey entry;
      if (::RegOpenKeyExW(root.get(), name, 0, KEY_READ | place.view, entry.put()) !=
          ERROR_SUCCESS) {
        continue;
      }
      std::wstring icon;
      for (const wchar_t* value :
           {L"DisplayName", L"UninstallString", L"InstallLocation", L"Publisher", L"DisplayVersion",
            L"DisplayIcon", L"QuietUninstallString"}) {
        std::wstring text = software::readRegString(entry.get(), value);
        if (std::wstring(value) == L"DisplayIcon") icon = text;
      }
      software::readRegDword(entry.get(), L"SystemComponent");
      software::readRegDword(entry.get(), L"EstimatedSize");
      if (extractIcons && !icon.empty()) {
        const std::wstring path = icon.substr(1, icon.rfind(L'"') - 1);
        HICON large = nullptr;
        if (::ExtractIconExW(path.c_str(), 0, &large, nullptr, 1) > 0 && large) {
          ::DestroyIcon(large);
        }
      }
      ++entries;
    }
  }
  return entries;
}

template <typename Run>
double fastestMilliseconds(Run run) {
  int64_t best = INT64_MAX;
  for (int round = 0; round < kRounds; ++round) {
    const int64_t start = steadyClockNanoseconds();
    run();
    best = std::min(best, steadyClockNanoseconds() - start);
  }
  return static_cast<double>(best) / kNanosecondsPerMillisecond;
}

}  // namespace

int wmain() {
  win::ComApartment apartment;
  ULONG_PTR token = 0;
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&token, &input, nullptr);
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  registerApps(self);

  ServiceState state;
  size_t listed = 0;
  const double apps = fastestMilliseconds([&] {
    const EncodableMap reply = software::listApps(state);
    listed = std::get<EncodableList>(reply.at(EncodableValue("apps"))).size();
  });
  size_t read = 0;
  const double raw = fastestMilliseconds([&] { read = readRegistry(false); });
  const double rawIcons = fastestMilliseconds([&] { readRegistry(true); });
  unregisterApps();

  std::printf("listApps: %zu entries in %.1f ms (%.2f ms per entry)\n", listed, apps,
              apps / static_cast<double>(std::max<size_t>(listed, 1)));
  std::printf("raw registry reads: %zu entries in %.1f ms; listApps / raw = %.1f\n", read, raw,
              apps / raw);
  std::printf("raw reads + icon extraction: %.1f ms; listApps / (reads + extraction) = %.2f\n",
              rawIcons, apps / rawIcons);
  return listed >= static_cast<size_t>(kApps) ? 0 : 1;
}

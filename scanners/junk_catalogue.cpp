#include "scanners/junk_catalogue.h"

#include <span>

#include "core/lower_case.h"
#include "fs/path_text.h"

namespace tidvale {
namespace {

enum class Base { Local, Roaming, Windows, ProgramData, Profile, Temp, WindowsDrive, None };

struct PathTemplate {
  Base base;
  const wchar_t* suffix;
};

struct CategoryTemplate {
  const char* id;
  bool listChildren;
  std::span<const PathTemplate> paths;
};

// Length of the drive root at the start of the Windows folder ("C:\").
constexpr size_t kDriveRootLength = 3;
constexpr wchar_t kFirefoxCacheSuffix[] = L"\\cache2";

constexpr PathTemplate kTemp[] = {
    {Base::Temp, L""},
    {Base::Windows, L"\\Temp"},
};
constexpr PathTemplate kUserCache[] = {
    {Base::Local, L"\\Microsoft\\Windows\\INetCache"},
    {Base::Local, L"\\D3DSCache"},
    {Base::Local, L"\\NVIDIA\\DXCache"},
    {Base::Local, L"\\NVIDIA\\GLCache"},
    {Base::Local, L"\\AMD\\DxCache"},
    {Base::Local, L"\\Microsoft\\Windows\\WebCache"},
    {Base::Local, L"\\Packages\\Microsoft.Windows.Search_cw5n1h2txyewy\\LocalState\\AppIconCache"},
    {Base::Local, L"\\Microsoft\\Windows\\Caches"},
};
constexpr PathTemplate kUserLogs[] = {
    {Base::Local, L"\\Microsoft\\Windows\\WER"},
    {Base::ProgramData, L"\\Microsoft\\Windows\\WER"},
    {Base::Windows, L"\\Logs"},
    {Base::Windows, L"\\Panther"},
    {Base::Windows, L"\\Minidump"},
    {Base::Windows, L"\\Debug"},
};
constexpr PathTemplate kSystemCache[] = {
    {Base::Windows, L"\\Prefetch"},
    {Base::Windows, L"\\SoftwareDistribution\\Download"},
    {Base::Windows, L"\\SoftwareDistribution\\DataStore\\Logs"},
    {Base::Windows, L"\\Installer\\$PatchCache$"},
    {Base::ProgramData, L"\\Microsoft\\Windows Defender\\Scans\\History"},
};
constexpr PathTemplate kTrash[] = {
    {Base::None, kRecyclePseudoPath},
};
constexpr PathTemplate kDeveloper[] = {
    {Base::Local, L"\\npm-cache"},
    {Base::Roaming, L"\\npm-cache"},
    {Base::Local, L"\\Yarn\\Cache"},
    {Base::Local, L"\\pip\\cache"},
    {Base::Local, L"\\NuGet\\v3-cache"},
    {Base::Local, L"\\NuGet\\Cache"},
    {Base::Profile, L"\\.gradle\\caches"},
    {Base::Profile, L"\\.cargo\\registry\\cache"},
    {Base::Local, L"\\Microsoft\\VisualStudio\\Packages"},
    {Base::Local, L"\\Temp\\VSFeedbackIntelliCodeLogs"},
    {Base::Local, L"\\JetBrains"},
    {Base::Local, L"\\Google\\AndroidStudio"},
    {Base::Local, L"\\Pub\\Cache\\hosted"},
    {Base::Local, L"\\pnpm\\store"},
    {Base::Local, L"\\Composer"},
    {Base::Local, L"\\go-build"},
    {Base::Profile, L"\\.cache"},
};
constexpr PathTemplate kBrowsers[] = {
    {Base::Local, L"\\Google\\Chrome\\User Data\\Default\\Cache"},
    {Base::Local, L"\\Google\\Chrome\\User Data\\Default\\Code Cache"},
    {Base::Local, L"\\Google\\Chrome\\User Data\\Default\\Service Worker\\CacheStorage"},
    {Base::Local, L"\\Google\\Chrome\\User Data\\Default\\GPUCache"},
    {Base::Local, L"\\Microsoft\\Edge\\User Data\\Default\\Cache"},
    {Base::Local, L"\\Microsoft\\Edge\\User Data\\Default\\Code Cache"},
    {Base::Local, L"\\Microsoft\\Edge\\User Data\\Default\\Service Worker\\CacheStorage"},
    {Base::Local, L"\\BraveSoftware\\Brave-Browser\\User Data\\Default\\Cache"},
    {Base::Local, L"\\BraveSoftware\\Brave-Browser\\User Data\\Default\\Code Cache"},
    {Base::Local, L"\\Opera Software\\Opera Stable\\Cache"},
    {Base::Local, L"\\Vivaldi\\User Data\\Default\\Cache"},
    {Base::Local, L"\\Microsoft\\Windows\\INetCookies"},
};
constexpr PathTemplate kCrashReports[] = {
    {Base::Local, L"\\CrashDumps"},
    {Base::Local, L"\\Microsoft\\Windows\\WER\\ReportArchive"},
    {Base::Local, L"\\Microsoft\\Windows\\WER\\ReportQueue"},
    {Base::ProgramData, L"\\Microsoft\\Windows\\WER\\ReportQueue"},
};
constexpr PathTemplate kThumbnails[] = {
    {Base::Local, L"\\Microsoft\\Windows\\Explorer\\thumbcache_"},
};
constexpr PathTemplate kWindowsOld[] = {
    {Base::WindowsDrive, L"Windows.old"},
};

constexpr char kBrowsersCategoryId[] = "browsers";

constexpr CategoryTemplate kCatalogue[] = {
    {"temp", true, kTemp},
    {"userCache", false, kUserCache},
    {"userLogs", true, kUserLogs},
    {"systemCache", false, kSystemCache},
    {kTrashCategoryId, false, kTrash},
    {"developer", false, kDeveloper},
    {kBrowsersCategoryId, false, kBrowsers},
    {"crashReports", true, kCrashReports},
    {kThumbnailsCategoryId, false, kThumbnails},
    {"windowsOld", false, kWindowsOld},
};

std::wstring baseText(const JunkBases& bases, Base base) {
  switch (base) {
    case Base::Local:
      return bases.localAppData;
    case Base::Roaming:
      return bases.roamingAppData;
    case Base::Windows:
      return bases.windows;
    case Base::ProgramData:
      return bases.programData;
    case Base::Profile:
      return bases.profile;
    case Base::Temp:
      return bases.temp;
    case Base::WindowsDrive:
      return bases.windows.substr(0, kDriveRootLength);
    case Base::None:
      break;
  }
  return {};
}

}  // namespace

std::wstring firefoxProfilesFolder(const JunkBases& bases) {
  return bases.localAppData + L"\\Mozilla\\Firefox\\Profiles";
}

std::wstring thumbnailCacheFolder(const JunkBases& bases) {
  return bases.localAppData + L"\\Microsoft\\Windows\\Explorer";
}

JunkCatalogue buildJunkCatalogue(const JunkBases& bases,
                                 const std::vector<std::wstring>& firefoxProfiles) {
  JunkCatalogue catalogue;
  for (const CategoryTemplate& row : kCatalogue) {
    JunkCategory category{row.id, {}, row.listChildren};
    // Suffixes are appended as they stand, so a base that failed leaves the bare suffix.
    for (const PathTemplate& path : row.paths) {
      category.paths.push_back(baseText(bases, path.base) + path.suffix);
    }
    if (category.id == kBrowsersCategoryId) {
      for (const std::wstring& profile : firefoxProfiles) {
        category.paths.push_back(profile + kFirefoxCacheSuffix);
      }
    }
    catalogue.categories.push_back(std::move(category));
  }
  for (const JunkCategory& category : catalogue.categories) {
    for (const std::wstring& path : category.paths) {
      catalogue.knownPaths.push_back(toLowerUnits(path));
    }
  }
  return catalogue;
}

bool coveredElsewhere(const std::vector<std::wstring>& knownPaths, std::wstring_view child,
                      std::wstring_view root) {
  const std::wstring lowerChild = toLowerUnits(child);
  const std::wstring lowerRoot = toLowerUnits(root);
  for (const std::wstring& known : knownPaths) {
    if (known == lowerRoot) continue;
    if (known == lowerChild) return true;
    if (known.size() > lowerChild.size() && known.starts_with(lowerChild) &&
        fs::isSeparator(known[lowerChild.size()])) {
      return true;
    }
  }
  return false;
}

}  // namespace tidvale

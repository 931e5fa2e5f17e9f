#include "scanners/junk_scanner.h"

#include "core/saturating.h"

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "core/lower_case.h"
#include "core/progress.h"
#include "fs/path_text.h"
#include "fs/walker.h"
#include "scanners/path_walks.h"
#include "scanners/scan_item.h"

namespace tidvale {
namespace {

constexpr char kRecycleItemPath[] = "recycle:";
constexpr char kRecycleItemName[] = "Recycle Bin";
constexpr wchar_t kHomeShorthand[] = L"~";
constexpr std::wstring_view kThumbnailPrefixes[] = {L"thumbcache_", L"iconcache_"};

struct CategoryResult {
  std::vector<ScanItem> items;
  int64_t size = 0;
};

// Calls `visit` for each entry of `folder` (not recursive) until it returns false. A folder that
// cannot be opened lists nothing; an error while advancing ends the listing.
template <typename Visit>
void listFolder(fs::FileSystem& fileSystem, const std::wstring& folder, Visit visit) {
  std::unique_ptr<fs::FolderListing> listing = fileSystem.openFolder(folder);
  if (!listing) return;
  fs::DirEntry entry;
  while (listing->next(entry) == fs::ListStep::Entry) {
    if (!visit(entry)) return;
  }
}

bool isThumbnailCacheName(const std::wstring& name) {
  const std::wstring lower = toLowerUnits(name);
  return std::any_of(std::begin(kThumbnailPrefixes), std::end(kThumbnailPrefixes),
                     [&lower](std::wstring_view prefix) { return lower.starts_with(prefix); });
}

class JunkScanRun {
 public:
  JunkScanRun(ServiceState& state, const JunkScanEnvironment& environment)
      : state_(state), env_(environment), fs_(environment.fileSystem) {}

  EncodableMap run() {
    std::vector<std::wstring> firefoxProfiles;
    const std::wstring profilesFolder = firefoxProfilesFolder(env_.bases);
    listFolder(fs_, profilesFolder, [&](const fs::DirEntry& entry) {
      firefoxProfiles.push_back(fs::joinPath(profilesFolder, entry.name));
      return true;
    });
    catalogue_ = buildJunkCatalogue(env_.bases, firefoxProfiles);

    EncodableList categories;
    for (const JunkCategory& category : catalogue_.categories) {
      if (state_.cancelled()) break;
      CategoryResult result;
      if (category.id == kTrashCategoryId) {
        scanTrash(result);
      } else if (category.id == kThumbnailsCategoryId) {
        scanThumbnails(result);
      } else {
        scanOrdinary(category, result);
      }
      categories.emplace_back(finish(category, std::move(result)));
    }

    emitProgress(state_, kJunkProgressTask, "", keptItems_, keptBytes_, /*force=*/true);
    return EncodableMap{
        {EncodableValue("categories"), EncodableValue(std::move(categories))},
        {EncodableValue("total"), EncodableValue(static_cast<int64_t>(keptBytes_))},
        {EncodableValue("count"), EncodableValue(static_cast<int64_t>(keptItems_))},
        {EncodableValue("cancelled"), EncodableValue(state_.cancelled())},
    };
  }

 private:
  static EncodableMap finish(const JunkCategory& category, CategoryResult result) {
    std::stable_sort(result.items.begin(), result.items.end(),
                     [](const ScanItem& a, const ScanItem& b) { return a.size > b.size; });
    EncodableList items;
    items.reserve(result.items.size());
    for (const ScanItem& item : result.items) items.emplace_back(item.toEncodableMap());
    return EncodableMap{
        {EncodableValue("id"), EncodableValue(category.id)},
        {EncodableValue("size"), EncodableValue(result.size)},
        {EncodableValue("items"), EncodableValue(std::move(items))},
    };
  }

  void keep(ScanItem item, CategoryResult& result, bool report) {
    ++keptItems_;
    keptBytes_ += static_cast<uint64_t>(item.size);
    result.size = addSize(result.size, item.size);
    if (report) emitProgress(state_, kJunkProgressTask, item.path, keptItems_, keptBytes_, false);
    result.items.push_back(std::move(item));
  }

  // One shell query stands for the Recycle Bins of every drive.
  void scanTrash(CategoryResult& result) {
    const int64_t bytes = env_.recycleBinBytes ? env_.recycleBinBytes() : 0;
    if (bytes <= 0) return;
    ScanItem item;
    item.path = kRecycleItemPath;
    item.name = kRecycleItemName;
    item.size = bytes;
    item.isDir = true;
    keep(std::move(item), result, /*report=*/false);
  }

  void scanThumbnails(CategoryResult& result) {
    const std::wstring folder = thumbnailCacheFolder(env_.bases);
    listFolder(fs_, folder, [&](const fs::DirEntry& entry) {
      // A name holding a separator names no entry when joined to its folder: never reported.
      if (!isThumbnailCacheName(entry.name) || fs::nameHoldsSeparator(entry.name)) return true;
      const std::wstring path = fs::joinPath(folder, entry.name);
      ScanItem item;
      item.path = env_.toUtf8(path);
      item.name = env_.toUtf8(entry.name);
      item.size = measurePath(fs_, path, state_.cancelFlag);
      if (item.size > 0) {
        item.modified = fileTimeToUnixSeconds(fs_, path);
        keep(std::move(item), result, /*report=*/false);
      }
      return true;
    });
  }

  void scanOrdinary(const JunkCategory& category, CategoryResult& result) {
    for (const std::wstring& path : category.paths) {
      if (state_.cancelled()) return;
      // The same folder named twice (TEMP set to the Windows Temp folder) is reported once.
      if (!scannedPaths_.insert(toLowerUnits(path)).second) continue;
      const fs::FileStatus status = fs_.status(path, /*followLinks=*/true);
      if (!status.exists()) continue;
      if (category.listChildren && status.isFolder()) {
        scanChildren(path, result);
      } else {
        scanWhole(path, status.isFolder(), result);
      }
    }
  }

  void scanChildren(const std::wstring& folder, CategoryResult& result) {
    listFolder(fs_, folder, [&](const fs::DirEntry& entry) {
      if (state_.cancelled()) return false;
      if (fs::nameHoldsSeparator(entry.name)) return true;
      const std::wstring path = fs::joinPath(folder, entry.name);
      if (coveredElsewhere(catalogue_.knownPaths, path, folder)) return true;
      ScanItem item;
      item.path = env_.toUtf8(path);
      item.name = env_.toUtf8(entry.name);
      item.isDir = isFolderFollowingLinks(path, entry);
      item.size = measurePath(fs_, path, state_.cancelFlag);
      if (item.size > 0) {
        item.modified = fileTimeToUnixSeconds(fs_, path);
        keep(std::move(item), result, /*report=*/true);
      }
      return true;
    });
  }

  void scanWhole(const std::wstring& path, bool isFolder, CategoryResult& result) {
    ScanItem item;
    item.path = env_.toUtf8(path);
    item.name = displayName(path);
    item.isDir = isFolder;
    item.size = measurePath(fs_, path, state_.cancelFlag);
    if (item.size > 0) keep(std::move(item), result, /*report=*/true);
  }

  // The listing's attributes answer for everything but links, which are asked where they lead.
  bool isFolderFollowingLinks(const std::wstring& path, const fs::DirEntry& entry) {
    const fs::EntryKind kind = fs::classifyEntry(entry.attributes, entry.reparseTag);
    if (fs::isLink(kind)) {
      return fs_.status(path, /*followLinks=*/true).isFolder();
    }
    return kind == fs::EntryKind::Folder;
  }

  // The path with the profile folder shortened to "~", when it lies inside the profile.
  std::string displayName(const std::wstring& path) const {
    const std::wstring& home = env_.bases.profile;
    const bool inside = !home.empty() && path.starts_with(home) &&
                        (path.size() == home.size() || fs::isSeparator(home.back()) ||
                         fs::isSeparator(path[home.size()]));
    if (!inside) return env_.toUtf8(path);
    // A profile text ending in a separator leaves that separator to the rest.
    const size_t restStart = fs::isSeparator(home.back()) ? home.size() - 1 : home.size();
    return env_.toUtf8(kHomeShorthand + path.substr(restStart));
  }

  ServiceState& state_;
  const JunkScanEnvironment& env_;
  fs::FileSystem& fs_;
  JunkCatalogue catalogue_;
  std::set<std::wstring> scannedPaths_;
  uint64_t keptItems_ = 0;
  uint64_t keptBytes_ = 0;
};

}  // namespace

EncodableMap runJunkScan(ServiceState& state, const JunkScanEnvironment& environment) {
  return JunkScanRun(state, environment).run();
}

}  // namespace tidvale

#pragma once
// The junk catalogue: ten categories of cache, log, crash-dump and temporary locations, built
// from six base folders, plus the rule that keeps a listed folder's child out of one category
// when another catalogue entry reports it. Pure text, any thread.

#include <string>
#include <string_view>
#include <vector>

namespace tidvale {

// The base folders the catalogue is built on; any of them may be empty when it could not be read.
struct JunkBases {
  std::wstring localAppData;    // L
  std::wstring roamingAppData;  // R
  std::wstring windows;         // W
  std::wstring programData;     // P
  std::wstring profile;         // U
  std::wstring temp;            // T
};

struct JunkCategory {
  std::string id;
  std::vector<std::wstring> paths;
  // True: each direct child of an existing folder is its own item. False: each path is one item.
  bool listChildren = false;
};

struct JunkCatalogue {
  std::vector<JunkCategory> categories;
  // Every path of every category, lower-cased, in catalogue order; feeds coveredElsewhere().
  std::vector<std::wstring> knownPaths;
};

inline constexpr char kTrashCategoryId[] = "trash";
inline constexpr char kThumbnailsCategoryId[] = "thumbnails";
// The Recycle Bins of all drives, reported as one item.
inline constexpr wchar_t kRecyclePseudoPath[] = L"recycle:";

// The folder whose entries are Firefox profiles.
std::wstring firefoxProfilesFolder(const JunkBases& bases);
// The folder holding the shell's thumbnail and icon caches.
std::wstring thumbnailCacheFolder(const JunkBases& bases);

// The ten categories in reply order. `firefoxProfiles` are the full paths of the entries of
// firefoxProfilesFolder() in listing order; each adds its "\cache2" to "browsers".
JunkCatalogue buildJunkCatalogue(const JunkBases& bases,
                                 const std::vector<std::wstring>& firefoxProfiles);

// True when `child` (an entry of the listed catalogue folder `root`) is itself a catalogue path,
// or a folder holding one, other than `root`: another entry reports it.
bool coveredElsewhere(const std::vector<std::wstring>& knownPaths, std::wstring_view child,
                      std::wstring_view root);

}  // namespace tidvale

#include "software/leftovers.h"

#include <windows.h>

#include <shlobj.h>

#include "core/lower_case.h"
#include "fs/path_text.h"
#include "fs/win32_file_system.h"
#include "scanners/path_walks.h"
#include "software/leftover_match.h"
#include "software/uninstall_entries.h"
#include "win/known_folder.h"
#include "win/text.h"

namespace tidvale::software {
namespace {

constexpr wchar_t kLowSuffix[] = L"Low";

std::wstring displayName(const std::wstring& path, const std::wstring& profile) {
  if (profile.empty() || !path.starts_with(profile)) return path;
  return L"~" + path.substr(profile.size());
}

}  // namespace

std::vector<std::wstring> leftoverRoots() {
  const std::wstring local = win::knownFolderPath(FOLDERID_LocalAppData);
  // Without Local AppData, "Low" alone would be a relative name: search nothing there.
  const std::wstring candidates[] = {
      win::knownFolderPath(FOLDERID_RoamingAppData),
      local,
      local.empty() ? std::wstring() : local + kLowSuffix,
      win::knownFolderPath(FOLDERID_ProgramData),
  };
  std::vector<std::wstring> roots;
  for (const auto& root : candidates) {
    if (!root.empty()) roots.push_back(root);
  }
  return roots;
}

EncodableMap findLeftovers(ServiceState& state, fs::FileSystem& fileSystem,
                           const std::vector<std::wstring>& roots, const std::wstring& profile,
                           const std::wstring& name, const std::wstring& publisher,
                           const std::vector<std::wstring>& registeredNames) {
  const LeftoverTerms terms = leftoverTerms(name, publisher, registeredNames);
  EncodableList items;
  for (const auto& root : roots) {
    const auto listing = fileSystem.openFolder(root);
    if (!listing) continue;
    fs::DirEntry entry;
    while (listing->next(entry) == fs::ListStep::Entry) {
      const LeftoverMatch match = matchLeftover(toLowerUnits(entry.name), terms);
      if (match == LeftoverMatch::None) continue;
      const std::wstring path = fs::joinPath(root, entry.name);
      items.emplace_back(EncodableMap{
          {EncodableValue("path"), EncodableValue(win::toUtf8(path))},
          {EncodableValue("name"), EncodableValue(win::toUtf8(displayName(path, profile)))},
          {EncodableValue("size"), EncodableValue(measurePath(fileSystem, path, state.cancelFlag))},
          {EncodableValue("weak"), EncodableValue(match == LeftoverMatch::Weak)},
      });
    }
  }
  return EncodableMap{{EncodableValue("items"), EncodableValue(std::move(items))}};
}

EncodableMap appLeftovers(ServiceState& state, const std::string& name,
                          const std::string& publisher) {
  return findLeftovers(state, fs::systemFileSystem(), leftoverRoots(), win::homeFolder(),
                       win::toUtf16(name), win::toUtf16(publisher), registeredDisplayNames());
}

}  // namespace tidvale::software

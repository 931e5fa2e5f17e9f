#include "removal/removal_guard.h"

#include <algorithm>
#include <string_view>

#include "core/lower_case.h"
#include "fs/extended_path.h"
#include "fs/path_text.h"

namespace tidvale {
namespace {

constexpr std::wstring_view kUncPrefix = L"\\\\";

// The plain form of a drive or UNC path written in extended form; nothing for other device paths
// ("\\.\", "\\?\Volume{...}", "\\?\GLOBALROOT\..."), which are never removal targets.
std::optional<std::wstring> plainForm(const std::wstring& path) {
  if (!fs::hasDevicePrefix(path)) return path;
  if (path.starts_with(fs::kExtendedUncPrefix)) {
    return std::wstring(kUncPrefix) + path.substr(fs::kExtendedUncPrefix.size());
  }
  std::wstring rest =
      path.starts_with(fs::kExtendedPrefix) ? path.substr(fs::kExtendedPrefix.size()) : L"";
  if (fs::splitPathRoot(rest).kind != fs::PathRootKind::DriveAbsolute) return std::nullopt;
  return rest;
}

// Lower case, '\' separators, no trailing separator unless a root ("c:\").
std::wstring comparable(std::wstring_view path) {
  std::wstring form = toLowerUnits(path);
  std::replace(form.begin(), form.end(), L'/', L'\\');
  const size_t rootLength = fs::splitPathRoot(form).length;
  while (form.size() > rootLength && form.back() == L'\\') form.pop_back();
  return form;
}

// The path with "." and ".." resolved as the removal will read them: the components after the root
// of the extended form, under the plain root.
std::optional<std::wstring> lexicalForm(const std::wstring& plain) {
  const auto noCurrentFolder = [](std::wstring_view) { return std::optional<std::wstring>(); };
  const std::optional<std::wstring> extended = fs::extendedPath(plain, noCurrentFolder);
  if (!extended) return std::nullopt;
  return plainForm(*extended);
}

bool isRoot(const std::wstring& form) {
  return form.size() <= fs::splitPathRoot(form).length;
}

// True when `form` is a protected folder or contains one.
bool coversProtected(const std::wstring& form, const std::vector<std::wstring>& protectedForms) {
  if (isRoot(form)) return true;
  return std::any_of(protectedForms.begin(), protectedForms.end(), [&](const std::wstring& kept) {
    return kept == form || (kept.size() > form.size() && kept.starts_with(form) &&
                            fs::isSeparator(kept[form.size()]));
  });
}

}  // namespace

bool refusesRemoval(const RemovalGuard& guard, const std::wstring& path) {
  if (!fs::isFullyQualified(path)) return true;
  const std::optional<std::wstring> plain = plainForm(path);
  if (!plain) return true;

  std::vector<std::wstring> protectedForms;
  for (const std::wstring& folder : guard.protectedFolders) {
    if (!folder.empty()) protectedForms.push_back(comparable(folder));
  }
  // Refused when either reading of the path, ours or the system's, lands on a protected folder.
  const std::optional<std::wstring> lexical = lexicalForm(*plain);
  const std::optional<std::wstring> system = guard.systemFullPath(*plain);
  if (!lexical || !system) return true;
  return coversProtected(comparable(*lexical), protectedForms) ||
         coversProtected(comparable(*system), protectedForms);
}

}  // namespace tidvale

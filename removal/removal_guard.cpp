#include "removal/removal_guard.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "fs/extended_path.h"
#include "fs/path_text.h"

namespace tidvale {
namespace {

// The plain form of a drive or UNC path written in extended form; nothing for other device paths
// ("\\.\", "\\?\Volume{...}", "\\?\GLOBALROOT\..."), which are never removal targets.
std::optional<std::wstring> plainForm(const std::wstring& path) {
  if (!fs::hasDevicePrefix(path)) return path;
  if (path.starts_with(fs::kExtendedUncPrefix)) return fs::plainPath(path);
  std::wstring rest = path.starts_with(fs::kExtendedPrefix) ? fs::plainPath(path) : L"";
  if (fs::splitPathRoot(rest).kind != fs::PathRootKind::DriveAbsolute) return std::nullopt;
  return rest;
}

// Folded case, '\' separators, no trailing separator unless a root ("c:\").
std::wstring comparable(const RemovalGuard& guard, std::wstring_view path) {
  std::wstring form = guard.foldCase(path);
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

FoldedGuard::FoldedGuard(const RemovalGuard& guard) : guard_(guard) {
  for (const std::wstring& folder : guard.protectedFolders) {
    if (!folder.empty()) protectedForms_.push_back(comparable(guard, folder));
  }
}

bool FoldedGuard::refuses(const std::wstring& path) const {
  if (!fs::isFullyQualified(path)) return true;
  const std::optional<std::wstring> plain = plainForm(path);
  if (!plain) return true;
  const std::optional<std::wstring> lexical = lexicalForm(*plain);
  if (!lexical) return true;
  return coversProtected(comparable(guard_, *lexical), protectedForms_);
}

bool refusesRemoval(const RemovalGuard& guard, const std::wstring& path) {
  return FoldedGuard(guard).refuses(path);
}

}  // namespace tidvale

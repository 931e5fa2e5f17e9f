#include "removal/shell_path.h"

#include <string_view>

#include "fs/extended_path.h"

namespace tidvale {
namespace {

// Whether any name of the path ends in a dot or a space, which the shell would trim away.
bool hasTrimmedName(std::wstring_view path) {
  size_t end = path.size();
  while (end > 0) {
    const size_t start = path.rfind(L'\\', end - 1);
    const size_t begin = start == std::wstring_view::npos ? 0 : start + 1;
    if (end > begin && (path[end - 1] == L'.' || path[end - 1] == L' ')) return true;
    if (start == std::wstring_view::npos) break;
    end = start;
  }
  return false;
}

}  // namespace

std::optional<std::wstring> shellReadablePath(const fs::ResolvedEntry& target) {
  if (!target.found()) return std::nullopt;
  if (fs::isLink(fs::classifyEntry(target.listed.attributes, target.listed.reparseTag))) {
    return std::nullopt;
  }
  if (!target.path.starts_with(fs::kExtendedPrefix)) return std::nullopt;
  const std::wstring plain = fs::plainPath(target.path);
  if (plain.size() >= kShellPathLimit || hasTrimmedName(plain)) return std::nullopt;
  return plain;
}

}  // namespace tidvale

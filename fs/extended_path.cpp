#include "fs/extended_path.h"

#include <vector>

#include "fs/path_text.h"

namespace tidvale::fs {
namespace {

constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";

constexpr bool isDriveLetter(wchar_t unit) {
  return (unit >= L'A' && unit <= L'Z') || (unit >= L'a' && unit <= L'z');
}

// Index of the first separator at or after `from`, or the text's length.
size_t nextSeparator(std::wstring_view text, size_t from) {
  while (from < text.size() && !isSeparator(text[from])) ++from;
  return from;
}

// Appends the components of `rest` to `components`, resolving "." and ".." lexically. ".." never
// climbs above the root.
void appendComponents(std::wstring_view rest, std::vector<std::wstring_view>& components) {
  size_t start = 0;
  while (start <= rest.size()) {
    const size_t end = nextSeparator(rest, start);
    const std::wstring_view component = rest.substr(start, end - start);
    if (component == L"..") {
      if (!components.empty()) components.pop_back();
    } else if (!component.empty() && component != L".") {
      components.push_back(component);
    }
    start = end + 1;
  }
}

// `root` ends with a separator; the components follow it joined by '\'.
std::wstring joinComponents(std::wstring root, const std::vector<std::wstring_view>& components) {
  for (size_t i = 0; i < components.size(); ++i) {
    if (i > 0) root.push_back(L'\\');
    root.append(components[i]);
  }
  return root;
}

// The extended root of a drive-absolute or UNC root as written ("C:/" or "//server/share").
std::wstring extendedRoot(std::wstring_view rootText, PathRootKind kind) {
  std::wstring root;
  if (kind == PathRootKind::DriveAbsolute) {
    root.append(kExtendedPrefix).append(rootText.substr(0, 2));
  } else {
    root.append(kExtendedUncPrefix);
    const std::wstring_view serverAndShare = rootText.substr(2);
    for (wchar_t unit : serverAndShare) root.push_back(isSeparator(unit) ? L'\\' : unit);
    while (!root.empty() && root.back() == L'\\') root.pop_back();
  }
  root.push_back(L'\\');
  return root;
}

}  // namespace

bool hasDevicePrefix(std::wstring_view path) {
  return path.starts_with(kExtendedPrefix) || path.starts_with(kDevicePrefix);
}

PathRoot splitPathRoot(std::wstring_view path) {
  if (hasDevicePrefix(path)) return {PathRootKind::Device, kExtendedPrefix.size()};
  if (path.size() >= 2 && isDriveLetter(path[0]) && path[1] == L':') {
    if (path.size() >= 3 && isSeparator(path[2])) return {PathRootKind::DriveAbsolute, 3};
    return {PathRootKind::DriveRelative, 2};
  }
  if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
    // "\\server\share\": the root runs to the separator after the share name.
    const size_t serverEnd = nextSeparator(path, 2);
    const size_t shareEnd =
        serverEnd < path.size() ? nextSeparator(path, serverEnd + 1) : serverEnd;
    const size_t length = shareEnd < path.size() ? shareEnd + 1 : shareEnd;
    return {PathRootKind::Unc, length};
  }
  if (!path.empty() && isSeparator(path[0])) return {PathRootKind::Rooted, 1};
  return {PathRootKind::Relative, 0};
}

bool isFullyQualified(std::wstring_view path) {
  const PathRoot root = splitPathRoot(path);
  switch (root.kind) {
    case PathRootKind::Device:
      return path.size() > root.length;
    case PathRootKind::DriveAbsolute:
      return true;
    case PathRootKind::Unc: {
      // Both the server and the share must be named.
      const size_t serverEnd = nextSeparator(path, 2);
      return serverEnd > 2 && serverEnd + 1 < path.size() && !isSeparator(path[serverEnd + 1]);
    }
    default:
      return false;
  }
}

std::optional<std::wstring> extendedPath(std::wstring_view path,
                                         const CurrentFolderResolver& resolveCurrent) {
  if (path.empty() || path.find(L'\0') != std::wstring_view::npos) return std::nullopt;
  const PathRoot root = splitPathRoot(path);
  std::vector<std::wstring_view> components;
  switch (root.kind) {
    case PathRootKind::Device:
      return std::wstring(path);
    case PathRootKind::DriveAbsolute:
    case PathRootKind::Unc:
      appendComponents(path.substr(root.length), components);
      return joinComponents(extendedRoot(path.substr(0, root.length), root.kind), components);
    case PathRootKind::DriveRelative:
    case PathRootKind::Rooted:
    case PathRootKind::Relative:
      break;
  }
  // Only the root is resolved against the current folder; what follows it keeps its text.
  const std::optional<std::wstring> base = resolveCurrent(path.substr(0, root.length));
  if (!base || !isFullyQualified(*base) || hasDevicePrefix(*base)) return std::nullopt;
  std::wstring joined = joinPath(*base, path.substr(root.length));
  return extendedPath(joined, resolveCurrent);
}

std::wstring plainPath(std::wstring_view path) {
  if (path.starts_with(kExtendedUncPrefix)) {
    return L"\\\\" + std::wstring(path.substr(kExtendedUncPrefix.size()));
  }
  if (path.starts_with(kExtendedPrefix)) return std::wstring(path.substr(kExtendedPrefix.size()));
  return std::wstring(path);
}

}  // namespace tidvale::fs

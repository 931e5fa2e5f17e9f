#pragma once
// Small pieces of path text shared by the walkers and scans. Pure functions, any thread.

#include <string>
#include <string_view>

namespace tidvale::fs {

constexpr bool isSeparator(wchar_t unit) {
  return unit == L'\\' || unit == L'/';
}

// `folder` + "\" + `name`, without doubling a separator that `folder` already ends with.
inline std::wstring joinPath(std::wstring_view folder, std::wstring_view name) {
  std::wstring path;
  path.reserve(folder.size() + 1 + name.size());
  path.append(folder);
  if (!path.empty() && !isSeparator(path.back())) path.push_back(L'\\');
  path.append(name);
  return path;
}

}  // namespace tidvale::fs

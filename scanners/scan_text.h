#pragma once
// Text pieces the storage scans share: a file's name and extension taken from its path, the
// ordering of reported paths, and the UTF-16 to UTF-8 conversion the platform-neutral scans are
// handed. Pure functions, any thread.

#include <string>
#include <string_view>

namespace tidvale {

// UTF-16 to UTF-8 (win::toUtf8 on Windows; tests pass their own).
using Utf8Converter = std::string (*)(std::wstring_view text);

// The text after the last "\" or "/" of `path` (all of it when there is none).
std::wstring_view fileNameOf(std::wstring_view path);

// The lower-cased extension of the file at `path`, without its dot: Movie.MKV gives "mkv",
// backup.tar.gz "gz"; README, .gitignore and a name ending in "." give "". Only the part of the
// name before a first ":" (an alternate stream) counts.
std::wstring lowerExtensionOf(std::wstring_view path);

// Orders paths as the standard path comparison does: root name, root directory, then component
// by component, each compared as UTF-16 units, case-sensitive. So "a\b" sorts before "a b\c"
// although '\' follows ' '. Returns <0, 0 or >0.
int comparePaths(std::wstring_view left, std::wstring_view right);

inline bool pathLess(std::wstring_view left, std::wstring_view right) {
  return comparePaths(left, right) < 0;
}

}  // namespace tidvale

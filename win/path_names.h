#pragma once
// The system's own forms of a path's text. Any thread.

#include <optional>
#include <string>

namespace tidvale::win {

// GetFullPathNameW: the path made absolute against the current folder, with "." and ".."
// resolved and Win32's name rules applied; nothing when it fails.
std::optional<std::wstring> fullPathName(const std::wstring& path);

// GetLongPathNameW: each short (8.3) name of an existing path expanded; nothing when it fails.
std::optional<std::wstring> longPathName(const std::wstring& path);

}  // namespace tidvale::win

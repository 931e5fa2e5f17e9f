#pragma once
// Conversion between the UTF-16 text of Windows calls and the UTF-8 text of the channels.
// Invalid input becomes U+FFFD; empty input gives empty output. Any thread.

#include <optional>
#include <string>
#include <string_view>

namespace tidvale::win {

std::string toUtf8(std::wstring_view text);
std::wstring toUtf16(std::string_view text);

// The path that channel text names; nothing when the text holds U+0000, which no Win32 call can
// carry (it would act on the text before it, a different path).
std::optional<std::wstring> pathFromUtf8(std::string_view text);

// Upper case of every unit by the system's invariant casing, as the file system compares names
// (not only ASCII); the text unchanged when the system cannot map it.
std::wstring foldCase(std::wstring_view text);

}  // namespace tidvale::win

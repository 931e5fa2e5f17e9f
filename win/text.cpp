#include "win/text.h"

#include <windows.h>

#include <climits>

namespace tidvale::win {

std::string toUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int needed =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string out(static_cast<size_t>(needed), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), needed, nullptr, nullptr);
  return out;
}

std::wstring toUtf16(std::string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int needed = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring out(static_cast<size_t>(needed), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, out.data(), needed);
  return out;
}

std::optional<std::wstring> pathFromUtf8(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) return std::nullopt;
  return toUtf16(text);
}

std::wstring foldCase(std::wstring_view text) {
  std::wstring folded(text);
  if (text.empty() || text.size() > INT_MAX) return folded;
  const int length = static_cast<int>(text.size());
  if (::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.data(), length, folded.data(),
                      length, nullptr, nullptr, 0) != length) {
    return std::wstring(text);
  }
  return folded;
}

}  // namespace tidvale::win

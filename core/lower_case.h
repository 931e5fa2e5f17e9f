#pragma once
// Case folding of paths and names for comparisons: the runtime's towlower, one unit at a time,
// independent of the locale's multi-unit rules. Any thread.

#include <cwctype>
#include <string>
#include <string_view>

namespace tidvale {

inline std::wstring toLowerUnits(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& unit : out) unit = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(unit)));
  return out;
}

}  // namespace tidvale

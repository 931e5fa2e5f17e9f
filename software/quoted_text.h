#pragma once
// Paths that installers write with surrounding double quotes.

#include <string>
#include <string_view>

namespace tidvale::software {

// Removes one leading double quote, then one trailing double quote; quotes inside stay.
inline std::wstring withoutSurroundingQuotes(std::wstring_view text) {
  if (text.starts_with(L'"')) text.remove_prefix(1);
  if (text.ends_with(L'"')) text.remove_suffix(1);
  return std::wstring(text);
}

}  // namespace tidvale::software

#pragma once
// Paths that installers write with surrounding double quotes.

#include <string>

namespace tidvale::software {

// Removes one leading double quote, then one trailing double quote; quotes inside stay.
inline std::wstring withoutSurroundingQuotes(std::wstring text) {
  if (!text.empty() && text.front() == L'"') text.erase(0, 1);
  if (!text.empty() && text.back() == L'"') text.pop_back();
  return text;
}

}  // namespace tidvale::software

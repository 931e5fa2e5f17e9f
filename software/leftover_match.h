#pragma once
// Deciding whether a top-level data folder or file carries an application's name. Any thread;
// platform-neutral.

#include <set>
#include <string>

namespace tidvale::software {

// Names shared by many products or kept by Windows itself: never offered as leftovers. Lower
// case; built once, on first use, safely from any thread.
const std::set<std::wstring>& ignoredLeftoverNames();

// The lower-cased words an entry name is compared with, computed once per search.
struct LeftoverTerms {
  std::wstring fullName;       // the whole application name
  std::wstring nameWord;       // the name up to its first space
  std::wstring publisherWord;  // the publisher up to its first space; "" without a publisher
};
LeftoverTerms leftoverTerms(const std::wstring& name, const std::wstring& publisher);

enum class LeftoverMatch { None, Full, Weak };

// Names shorter than this never match: they are too likely to belong to something else.
inline constexpr size_t kMinLeftoverNameUnits = 4;

// How `entryName` (already lower-cased) matches: the full name, or only the first word of a
// longer name (weak) unless the publisher's first word is that same word. Ignored names never
// match.
LeftoverMatch matchLeftover(const std::wstring& entryName, const LeftoverTerms& terms);

}  // namespace tidvale::software

#pragma once
// Deciding whether a top-level data folder or file carries an application's name. Any thread;
// platform-neutral.

#include <set>
#include <string>
#include <vector>

namespace tidvale::software {

// Names shared by many products, generic words that name no single product, and folders that
// Windows keeps in the data roots: never offered as leftovers. Lower case, exact match; built
// once, on first use, safely from any thread.
const std::set<std::wstring>& ignoredLeftoverNames();

// The lower-cased words an entry name is compared with, computed once per search.
struct LeftoverTerms {
  std::wstring fullName;       // the whole application name
  std::wstring nameWord;       // the name up to its first space
  std::wstring publisherWord;  // letters and digits of the publisher's first word, "The " dropped
  // Full names and name words of the other registered applications: a folder one of them names
  // may hold that application's data, so it is never this one's leftover.
  std::set<std::wstring> claimedByOthers;
};

// `registeredNames`: the display names of every Uninstall entry, unfiltered. Entries carrying
// `name` itself (letter case ignored) are this application's own, a second installation included.
LeftoverTerms leftoverTerms(const std::wstring& name, const std::wstring& publisher,
                            const std::vector<std::wstring>& registeredNames = {});

// The letters and digits of `text`, in order; punctuation, symbols and spaces dropped.
std::wstring lettersAndDigits(const std::wstring& text);

enum class LeftoverMatch { None, Full, Weak };

// Names shorter than this never match: they are too likely to belong to something else.
inline constexpr size_t kMinLeftoverNameUnits = 4;

// How `entryName` (already lower-cased) matches: the full name, or only the first word of a
// longer name (weak) unless the publisher's first word is that same word. Ignored names and
// names another application claims never match.
LeftoverMatch matchLeftover(const std::wstring& entryName, const LeftoverTerms& terms);

}  // namespace tidvale::software

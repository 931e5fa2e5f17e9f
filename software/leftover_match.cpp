#include "software/leftover_match.h"

#include "core/lower_case.h"

namespace tidvale::software {
namespace {

std::wstring firstWord(const std::wstring& text) {
  return text.substr(0, text.find(L' '));
}

}  // namespace

const std::set<std::wstring>& ignoredLeftoverNames() {
  static const std::set<std::wstring> names{
      L"microsoft",
      L"windows",
      L"packages",
      L"programs",
      L"temp",
      L"google",
      L"adobe",
      L"apple",
      L"intel",
      L"nvidia",
      L"amd",
      L"mozilla",
      L"oracle",
      L"jetbrains",
      L"autodesk",
      L"common files",
      L"package cache",
      L"regid.1991-06.com.microsoft",
      L"ssh",
      L"crashdumps",
      L"virtualstore",
      L"d3dscache",
      L"connecteddevicesplatform",
      L"comms",
      L"publishers",
      L"history",
      L"usoshared",
      L"usoprivate",
      L"softwaredistribution",
      L"ssl",
      L"desktop",
      L"documents",
      L"start menu",
      L"application data",
  };
  return names;
}

LeftoverTerms leftoverTerms(const std::wstring& name, const std::wstring& publisher) {
  LeftoverTerms terms;
  terms.fullName = toLowerUnits(name);
  terms.nameWord = firstWord(terms.fullName);
  terms.publisherWord = firstWord(toLowerUnits(publisher));
  return terms;
}

LeftoverMatch matchLeftover(const std::wstring& entryName, const LeftoverTerms& terms) {
  if (ignoredLeftoverNames().contains(entryName)) return LeftoverMatch::None;
  if (terms.fullName.size() >= kMinLeftoverNameUnits && entryName == terms.fullName) {
    return LeftoverMatch::Full;
  }
  const bool publisherOwnsWord =
      !terms.publisherWord.empty() && terms.publisherWord == terms.nameWord;
  if (terms.nameWord.size() >= kMinLeftoverNameUnits && terms.nameWord != terms.fullName &&
      entryName == terms.nameWord && !publisherOwnsWord) {
    return LeftoverMatch::Weak;
  }
  return LeftoverMatch::None;
}

}  // namespace tidvale::software

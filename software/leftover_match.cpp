#include "software/leftover_match.h"

#include <cwctype>

#include "core/lower_case.h"

namespace tidvale::software {
namespace {

constexpr std::wstring_view kLeadingArticle = L"the ";

std::wstring firstWord(const std::wstring& text) {
  return text.substr(0, text.find(L' '));
}

// "Dropbox, Inc." and "The GIMP Team" name their vendors by "dropbox" and "gimp".
std::wstring publisherWordOf(const std::wstring& publisher) {
  std::wstring lower = toLowerUnits(publisher);
  if (lower.starts_with(kLeadingArticle)) lower.erase(0, kLeadingArticle.size());
  return lettersAndDigits(firstWord(lower));
}

}  // namespace

const std::set<std::wstring>& ignoredLeftoverNames() {
  static const std::set<std::wstring> names{
      // Vendors whose folder holds many products.
      L"microsoft",
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
      // Kept by Windows in Roaming, Local, LocalLow or ProgramData (some are junctions).
      L"windows",
      L"packages",
      L"programs",
      L"temp",
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
      L"templates",
      L"favorites",
      L"temporary internet files",
      L"microsoft_corporation",
      L"placeholdertilelogofolder",
      L"peerdistrepub",
      L"windowsholographicdevices",
      L"elevateddiagnostics",
      L"iconcache.db",
      L"ntuser.pol",
      L"desktop.ini",
      // Generic words that name no single application.
      L"update",
      L"updates",
      L"updater",
      L"tools",
      L"data",
      L"common",
      L"shared",
      L"code",
      L"cache",
      L"caches",
      L"logs",
      L"backup",
      L"backups",
      L"config",
      L"settings",
      L"apps",
      L"plugins",
      L"downloads",
      L"installer",
      L"setup",
      L"service",
      L"services",
      L"support",
      L"runtime",
      L"drivers",
      L"fonts",
      L"files",
      L"local",
      L"roaming",
      L"locallow",
      L"users",
      L"system",
  };
  return names;
}

std::wstring lettersAndDigits(const std::wstring& text) {
  std::wstring kept;
  for (const wchar_t unit : text) {
    if (std::iswalnum(static_cast<wint_t>(unit))) kept.push_back(unit);
  }
  return kept;
}

LeftoverTerms leftoverTerms(const std::wstring& name, const std::wstring& publisher,
                            const std::vector<std::wstring>& registeredNames) {
  LeftoverTerms terms;
  terms.fullName = toLowerUnits(name);
  terms.nameWord = firstWord(terms.fullName);
  terms.publisherWord = publisherWordOf(publisher);
  for (const auto& registered : registeredNames) {
    std::wstring other = toLowerUnits(registered);
    if (other == terms.fullName) continue;
    terms.claimedByOthers.insert(firstWord(other));
    terms.claimedByOthers.insert(std::move(other));
  }
  return terms;
}

LeftoverMatch matchLeftover(const std::wstring& entryName, const LeftoverTerms& terms) {
  if (ignoredLeftoverNames().contains(entryName) || terms.claimedByOthers.contains(entryName)) {
    return LeftoverMatch::None;
  }
  if (terms.fullName.size() >= kMinLeftoverNameUnits && entryName == terms.fullName) {
    return LeftoverMatch::Full;
  }
  const bool publisherOwnsWord =
      !terms.publisherWord.empty() && terms.publisherWord == lettersAndDigits(terms.nameWord);
  if (terms.nameWord.size() >= kMinLeftoverNameUnits && terms.nameWord != terms.fullName &&
      entryName == terms.nameWord && !publisherOwnsWord) {
    return LeftoverMatch::Weak;
  }
  return LeftoverMatch::None;
}

}  // namespace tidvale::software

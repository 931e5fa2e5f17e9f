#include "software/leftover_match.h"

#include <gtest/gtest.h>

#include <string>

namespace tidvale::software {
namespace {

struct MatchCase {
  const wchar_t* name;
  const wchar_t* publisher;
  const wchar_t* entry;  // lower-cased, as the finder passes it
  LeftoverMatch expected;
};

constexpr MatchCase kMatchCases[] = {
    // One-word names match whole, never weakly.
    {L"Pixelfox", L"", L"pixelfox", LeftoverMatch::Full},
    {L"PIXELFOX", L"", L"pixelfox", LeftoverMatch::Full},
    // The first word of a longer name is a weak match...
    {L"Pixelfox Studio", L"Brightline Ltd", L"pixelfox", LeftoverMatch::Weak},
    {L"Pixelfox Studio", L"", L"pixelfox", LeftoverMatch::Weak},
    {L"Pixelfox Studio", L"Brightline Ltd", L"pixelfox studio", LeftoverMatch::Full},
    // ...unless the publisher carries that word: the folder is the vendor's, not the product's.
    {L"Pixelfox Studio", L"Pixelfox Inc", L"pixelfox", LeftoverMatch::None},
    {L"Pixelfox Studio", L"pixelfox", L"pixelfox", LeftoverMatch::None},
    {L"Pixelfox Studio", L"Pixelfox Inc", L"pixelfox studio", LeftoverMatch::Full},
    // No prefix, substring or fuzzy matching.
    {L"Pixelfox Studio", L"", L"pixelfoxstudio", LeftoverMatch::None},
    {L"Pixelfox Studio", L"", L"pixelfox studio 2", LeftoverMatch::None},
    {L"Pixelfox", L"", L"pixelfox2", LeftoverMatch::None},
    {L"Pixelfox", L"", L"pixel", LeftoverMatch::None},
    // Names of three units or fewer never match, whole or by word.
    {L"Zed", L"", L"zed", LeftoverMatch::None},
    {L"Zed Editor", L"", L"zed", LeftoverMatch::None},
    {L"Abcd", L"", L"abcd", LeftoverMatch::Full},
    // A first word of exactly the threshold is long enough; one unit less is not.
    {L"Abcd Studio", L"", L"abcd", LeftoverMatch::Weak},
    {L"Abc Studio", L"", L"abc", LeftoverMatch::None},
    // Ignored names never match, not even as a whole name.
    {L"Mozilla Firefox", L"Mozilla", L"mozilla", LeftoverMatch::None},
    {L"Microsoft Teams", L"", L"microsoft", LeftoverMatch::None},
    {L"Temp", L"", L"temp", LeftoverMatch::None},
    {L"Package Cache", L"", L"package cache", LeftoverMatch::None},
    {L"Mozilla Firefox", L"", L"mozilla firefox", LeftoverMatch::Full},
    // Generic words and Windows' own folders name no single application.
    {L"Update", L"", L"update", LeftoverMatch::None},
    {L"Tools", L"", L"tools", LeftoverMatch::None},
    {L"Code", L"", L"code", LeftoverMatch::None},
    {L"Templates", L"", L"templates", LeftoverMatch::None},
    {L"Common Helper", L"", L"common", LeftoverMatch::None},
    {L"Temporary Internet Files", L"", L"temporary internet files", LeftoverMatch::None},
    {L"Data Studio", L"", L"data studio", LeftoverMatch::Full},
    // The publisher's word is compared on its letters and digits, without a leading "The ".
    {L"Dropbox Update Helper", L"Dropbox, Inc.", L"dropbox", LeftoverMatch::None},
    {L"VMware Player", L"VMware, Inc.", L"vmware", LeftoverMatch::None},
    {L"GitHub Desktop", L"GitHub, Inc.", L"github", LeftoverMatch::None},
    {L"GIMP 2.10", L"The GIMP Team", L"gimp", LeftoverMatch::None},
    {L"Pixelfox Studio", L"Pixelfox\u00ae Labs", L"pixelfox", LeftoverMatch::None},
    {L"Pixelfox Studio", L"The", L"pixelfox", LeftoverMatch::Weak},
    {L"Pixelfox Studio", L"Theory Pixelfox", L"pixelfox", LeftoverMatch::Weak},
    {L"Pixelfox Studio", L", Inc.", L"pixelfox", LeftoverMatch::Weak},
    // A name starting with a space has an empty first word.
    {L" Pixelfox", L"", L"", LeftoverMatch::None},
    {L"", L"", L"", LeftoverMatch::None},
};

TEST(MatchLeftover, FullNameFirstWordPublisherAndIgnoredNames) {
  for (const auto& c : kMatchCases) {
    EXPECT_EQ(matchLeftover(c.entry, leftoverTerms(c.name, c.publisher)), c.expected)
        << "case " << (&c - kMatchCases);
  }
}

// A folder that another registered application names, by its full name or its first word, is
// that application's too; entries with the asked name (a second installation) claim nothing.
TEST(MatchLeftover, FoldersOtherRegisteredApplicationsNameAreNeverOffered) {
  const std::vector<std::wstring> registered = {L"LibreOffice 7.6 Help Pack (English)",
                                                L"LibreOffice 7.6.4.1",
                                                L"Python 3.12 Tools",
                                                L"Python 3.12.1 (64-bit)",
                                                L"GIMP 2.10",
                                                L"GIMP 3.0",
                                                L"Pixelfox",
                                                L"PIXELFOX STUDIO",
                                                L"Android Studio",
                                                L"Android SDK Platform-Tools"};
  const struct {
    const wchar_t* name;
    const wchar_t* entry;
    LeftoverMatch expected;
  } cases[] = {
      {L"LibreOffice 7.6 Help Pack (English)", L"libreoffice", LeftoverMatch::None},
      {L"Python 3.12 Tools", L"python", LeftoverMatch::None},
      {L"GIMP 2.10", L"gimp", LeftoverMatch::None},
      {L"Android Studio", L"android", LeftoverMatch::None},
      // Another application's full name, even when it is a longer product of the same word.
      {L"Pixelfox", L"pixelfox", LeftoverMatch::None},
      {L"Pixelfox Studio", L"pixelfox studio", LeftoverMatch::Full},
      // Nobody else names these.
      {L"Android Studio", L"android studio", LeftoverMatch::Full},
      {L"Quillnote Editor", L"quillnote", LeftoverMatch::Weak},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(matchLeftover(c.entry, leftoverTerms(c.name, L"", registered)), c.expected)
        << "case " << (&c - cases);
  }
}

}  // namespace
}  // namespace tidvale::software

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
    // Ignored names never match, not even as a whole name.
    {L"Mozilla Firefox", L"Mozilla", L"mozilla", LeftoverMatch::None},
    {L"Microsoft Teams", L"", L"microsoft", LeftoverMatch::None},
    {L"Temp", L"", L"temp", LeftoverMatch::None},
    {L"Package Cache", L"", L"package cache", LeftoverMatch::None},
    {L"Mozilla Firefox", L"", L"mozilla firefox", LeftoverMatch::Full},
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

}  // namespace
}  // namespace tidvale::software

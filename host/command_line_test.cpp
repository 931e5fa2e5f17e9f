#include "host/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace tidvale::host {
namespace {

TEST(ArgumentToUtf8, ConvertsValidTextAndRefusesInvalidText) {
  const struct {
    std::wstring argument;
    std::string expected;
  } cases[] = {
      {L"", ""},
      {L"--verbose", "--verbose"},
      {L"C:\\Users\\J\u00f6rg", "C:\\Users\\J\xC3\xB6rg"},
      {L"\u65e5\u672c", "\xE6\x97\xA5\xE6\x9C\xAC"},
      {L"\xD83D\xDE00", "\xF0\x9F\x98\x80"},  // a surrogate pair
      {L"a\xD800"
       L"b",
       ""},                // unpaired high surrogate
      {L"\xDC00", ""},     // unpaired low surrogate
      {L"end\xD83D", ""},  // high surrogate at the end
  };
  for (const auto& c : cases) {
    EXPECT_EQ(argumentToUtf8(c.argument.c_str()), c.expected)
        << "argument of " << c.argument.size() << " units";
  }
  EXPECT_EQ(argumentToUtf8(nullptr), "");
}

TEST(ArgumentToUtf8, ConvertsAtMostTheUnitLimit) {
  const std::wstring longer(kMaxArgumentUnits + 100, L'a');
  EXPECT_EQ(argumentToUtf8(longer.c_str()), std::string(kMaxArgumentUnits, 'a'));
  // A cut through a surrogate pair leaves an unpaired surrogate: the whole argument is refused.
  std::wstring split(kMaxArgumentUnits - 1, L'a');
  split += L"\xD83D\xDE00";
  EXPECT_EQ(argumentToUtf8(split.c_str()), "");
}

TEST(EntrypointArguments, DropsTheProgramAndSplitsLikeTheShell) {
  const struct {
    std::wstring commandLine;
    std::vector<std::string> expected;
  } cases[] = {
      {L"Tidvale.exe", {}},
      {L"\"C:\\Program Files\\Tidvale\\Tidvale.exe\" --a", {"--a"}},
      {L"Tidvale.exe one \"two words\" three", {"one", "two words", "three"}},
      {L"Tidvale.exe \"\" x", {"", "x"}},
      {L"Tidvale.exe \u00e9 \xD800 z", {"\xC3\xA9", "", "z"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(entrypointArguments(c.commandLine.c_str()), c.expected)
        << c.expected.size() << " arguments expected";
  }
  EXPECT_TRUE(entrypointArguments(nullptr).empty());
}

}  // namespace
}  // namespace tidvale::host

#include "scanners/extended_path.h"

#include <gtest/gtest.h>

namespace tidvale::fs {
namespace {

TEST(ExtendedPathTest, AddsTheRightPrefixOnce) {
  const struct {
    const wchar_t* path;
    const wchar_t* expected;
  } cases[] = {
      {L"C:\\long\\path", L"\\\\?\\C:\\long\\path"},
      {L"\\\\server\\share\\dir", L"\\\\?\\UNC\\server\\share\\dir"},
      {L"\\\\?\\C:\\already", L"\\\\?\\C:\\already"},
      {L"\\\\?\\UNC\\server\\share", L"\\\\?\\UNC\\server\\share"},
      {L"\\\\.\\pipe\\name", L"\\\\.\\pipe\\name"},
  };
  for (const auto& c : cases) EXPECT_EQ(extendedLengthForm(c.path), c.expected) << c.expected;
}

}  // namespace
}  // namespace tidvale::fs

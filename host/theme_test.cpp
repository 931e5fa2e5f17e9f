#include "host/theme.h"

#include <gtest/gtest.h>

#include <string>

#include "win/unique_resource.h"

namespace tidvale::host {
namespace {

// A key of its own under HKCU\Software\TidvaleTest, removed afterwards; a leftover fails.
class ThemeSettingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = L"Software\\TidvaleTest\\theme-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::wstring(info->name(), info->name() + std::char_traits<char>::length(info->name()));
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, key_.put(), nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    key_.reset();
    EXPECT_EQ(::RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str()), ERROR_SUCCESS);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TidvaleTest");  // Only if empty.
    win::UniqueKey leftover;
    EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, KEY_READ, leftover.put()),
              ERROR_SUCCESS);
  }

  void setDword(DWORD value) {
    ASSERT_EQ(::RegSetValueExW(key_.get(), kLightThemeValueName, 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&value), sizeof(value)),
              ERROR_SUCCESS);
  }

  std::wstring path_;
  win::UniqueKey key_;
};

TEST_F(ThemeSettingTest, ReadsTheDwordSetting) {
  for (const DWORD value : {0u, 1u, 2u}) {
    setDword(value);
    EXPECT_EQ(readLightThemeSetting(HKEY_CURRENT_USER, path_.c_str()), value);
  }
}

TEST_F(ThemeSettingTest, MissingOrMistypedSettingReadsAsNothing) {
  EXPECT_EQ(readLightThemeSetting(HKEY_CURRENT_USER, path_.c_str()), std::nullopt);
  const wchar_t text[] = L"0";
  ASSERT_EQ(::RegSetValueExW(key_.get(), kLightThemeValueName, 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(text), sizeof(text)),
            ERROR_SUCCESS);
  EXPECT_EQ(readLightThemeSetting(HKEY_CURRENT_USER, path_.c_str()), std::nullopt);
  const std::wstring missingKey = path_ + L"\\missing";
  EXPECT_EQ(readLightThemeSetting(HKEY_CURRENT_USER, missingKey.c_str()), std::nullopt);
}

TEST(DarkTitleBar, DarkOnlyWhenAppsUseTheDarkTheme) {
  const struct {
    std::optional<DWORD> setting;
    std::optional<BOOL> dark;
  } cases[] = {
      {std::nullopt, std::nullopt},
      {0u, TRUE},
      {1u, FALSE},
      {2u, FALSE},
  };
  for (const auto& c : cases) EXPECT_EQ(darkTitleBarFor(c.setting), c.dark);
}

}  // namespace
}  // namespace tidvale::host

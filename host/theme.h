#pragma once
// The title bar follows the user's app theme: dark when apps use the dark theme.
// Platform thread (the window's thread).

#include <windows.h>

#include <optional>

namespace tidvale::host {

inline constexpr wchar_t kPersonalizeKeyPath[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
inline constexpr wchar_t kLightThemeValueName[] = L"AppsUseLightTheme";
// DWMWA_USE_IMMERSIVE_DARK_MODE, missing from older SDK headers.
inline constexpr DWORD kImmersiveDarkModeAttribute = 20;

// The DWORD value "AppsUseLightTheme" under root\path; nullopt when missing or not a DWORD.
std::optional<DWORD> readLightThemeSetting(HKEY root, const wchar_t* path);

// What the dark-mode attribute should be set to for a setting: nothing at all when the setting
// could not be read, else TRUE exactly when apps do not use the light theme.
std::optional<BOOL> darkTitleBarFor(std::optional<DWORD> lightThemeSetting);

// Reads the setting under root\path and sets the window's dark-mode attribute accordingly.
// A setting that cannot be read leaves the title bar as it is.
void applyTheme(HWND window, HKEY root = HKEY_CURRENT_USER,
                const wchar_t* path = kPersonalizeKeyPath);

}  // namespace tidvale::host

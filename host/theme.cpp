#include "host/theme.h"

#include <dwmapi.h>

namespace tidvale::host {

std::optional<DWORD> readLightThemeSetting(HKEY root, const wchar_t* path) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (::RegGetValueW(root, path, kLightThemeValueName, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return value;
}

std::optional<BOOL> darkTitleBarFor(std::optional<DWORD> lightThemeSetting) {
  if (!lightThemeSetting) return std::nullopt;
  return *lightThemeSetting == 0 ? TRUE : FALSE;
}

void applyTheme(HWND window, HKEY root, const wchar_t* path) {
  const std::optional<BOOL> dark = darkTitleBarFor(readLightThemeSetting(root, path));
  if (!dark) return;
  const BOOL value = *dark;
  // The outcome changes nothing the program relies on, so it is not checked.
  ::DwmSetWindowAttribute(window, kImmersiveDarkModeAttribute, &value, sizeof(value));
}

}  // namespace tidvale::host
